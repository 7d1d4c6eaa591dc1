# What makes UpdateTool.exe a product: its manifest, its version resource and the release zip.
# The tool's version comes from project(VERSION) in the top CMakeLists.txt and nowhere else;
# the firmware's from UPDATE_TOOL_FIRMWARE_VERSION.
set(UPDATE_TOOL_PRODUCT_NAME "Update Tool")
set(UPDATE_TOOL_FILE_VERSION
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
set(UPDATE_TOOL_VERSION_COMMAS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")

# The manifest ships without its comments and indentation: every byte counts against the
# executable's size budget.
set(UPDATE_TOOL_MANIFEST "${CMAKE_BINARY_DIR}/app.manifest")
set(manifest_source "${CMAKE_SOURCE_DIR}/resources/app.manifest.in")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${manifest_source}")
file(READ "${manifest_source}" manifest)
string(REGEX REPLACE "<!--[^>]*-->" "" manifest "${manifest}")
string(REGEX REPLACE "\n[ \n]*" "\n" manifest "${manifest}")
file(CONFIGURE OUTPUT "${UPDATE_TOOL_MANIFEST}" CONTENT "${manifest}" @ONLY)
configure_file("${CMAKE_SOURCE_DIR}/resources/version.rc.in" "${CMAKE_BINARY_DIR}/version.rc"
    @ONLY)
set_source_files_properties("${CMAKE_BINARY_DIR}/version.rc" PROPERTIES
    OBJECT_DEPENDS "${UPDATE_TOOL_MANIFEST}")
target_sources(UpdateTool PRIVATE "${CMAKE_BINARY_DIR}/version.rc")

# The zip handed to users: the executable, signed when a certificate is given, the read-me
# texts (the users', and the administrators' who push the update to many computers) and their
# checksums. Named after the firmware version it carries.
set(RELEASE_ZIP "${CMAKE_BINARY_DIR}/UpdateTool-${UPDATE_TOOL_FIRMWARE_VERSION}.zip")
set(RELEASE_READMES
    "${CMAKE_SOURCE_DIR}/resources/readme/README-en.txt"
    "${CMAKE_SOURCE_DIR}/resources/readme/README-ja.txt"
    "${CMAKE_SOURCE_DIR}/resources/readme/DEPLOYMENT-en.txt")

# Signing: the certificate is a setting, its password only ever an environment variable of the
# build (read by the signing step, never by the configure, so the cache never holds it).
set(UPDATE_TOOL_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 certificate to sign the release with (password: UPDATE_TOOL_SIGN_PASSWORD in the environment)")
set(UPDATE_TOOL_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 timestamp server for the release signature (optional)")
if(UPDATE_TOOL_SIGN_PKCS12 STREQUAL "")
    set(RELEASE_EXE "$<TARGET_FILE:UpdateTool>")
    set(RELEASE_SIGNING "unsigned: set UPDATE_TOOL_SIGN_PKCS12 to sign it")
else()
    get_filename_component(sign_pkcs12 "${UPDATE_TOOL_SIGN_PKCS12}" ABSOLUTE)
    if(NOT EXISTS "${sign_pkcs12}" OR IS_DIRECTORY "${sign_pkcs12}")
        reject_input(UPDATE_TOOL_SIGN_PKCS12 "${sign_pkcs12}"
            "no such file; expected the PKCS#12 (.p12, .pfx) certificate to sign with")
    endif()
    find_program(OSSLSIGNCODE osslsigncode)
    if(NOT OSSLSIGNCODE)
        reject_input(UPDATE_TOOL_SIGN_PKCS12 "${sign_pkcs12}"
            "signing needs osslsigncode, which was not found (Debian package osslsigncode)")
    endif()
    # The unsigned executable stays where the build leaves it; the signed one is a copy.
    set(RELEASE_EXE "${CMAKE_BINARY_DIR}/signed/UpdateTool.exe")
    set(RELEASE_SIGNING "signed with ${sign_pkcs12}")
    # The zip of an earlier signature goes first, so that a refused signing (a wrong password,
    # say) leaves none behind.
    add_custom_command(
        OUTPUT "${RELEASE_EXE}"
        COMMAND "${CMAKE_COMMAND}" -E rm -f "${RELEASE_ZIP}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/signed"
        COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/scripts/sign_exe.py" "${OSSLSIGNCODE}"
            "${sign_pkcs12}" "${UPDATE_TOOL_SIGN_TIMESTAMP_URL}" "$<TARGET_FILE:UpdateTool>"
            "${RELEASE_EXE}"
        DEPENDS UpdateTool "$<TARGET_FILE:UpdateTool>" "${sign_pkcs12}"
            "${CMAKE_SOURCE_DIR}/scripts/sign_exe.py"
        COMMENT "Signing UpdateTool.exe"
        VERBATIM)
endif()

if(UPDATE_TOOL_TEST_IMAGE)
    # A build of the test image works for development and tests; it is never packed for users.
    remove_release_zips()
    add_custom_target(release
        COMMAND "${CMAKE_COMMAND}" -E rm -f "${RELEASE_ZIP}"
        COMMAND "${CMAKE_COMMAND}" -E echo "No release: this build embeds the generated test"
            "image. Set UPDATE_TOOL_FIRMWARE_IMAGE to the firmware image to release."
        COMMAND "${CMAKE_COMMAND}" -E false
        VERBATIM)
    message(STATUS "Release: none from this build (test image)")
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
    # The 64-bit build runs the Wine tests where 32-bit code cannot run; users get the 32-bit one.
    remove_release_zips()
    add_custom_target(release
        COMMAND "${CMAKE_COMMAND}" -E echo "No release: this is the 64-bit test build. Releases"
            "are built by the release preset, for 32-bit Windows."
        COMMAND "${CMAKE_COMMAND}" -E false
        VERBATIM)
    message(STATUS "Release: none from this build (64-bit, for tests only)")
else()
    add_custom_command(
        OUTPUT "${RELEASE_ZIP}"
        COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/scripts/make_release_zip.py"
            "${RELEASE_ZIP}" "${RELEASE_EXE}" ${RELEASE_READMES}
        DEPENDS UpdateTool "${RELEASE_EXE}" ${RELEASE_READMES}
            "${CMAKE_SOURCE_DIR}/scripts/make_release_zip.py"
        COMMENT "Packing ${RELEASE_ZIP} (${RELEASE_SIGNING})"
        VERBATIM)
    add_custom_target(release DEPENDS "${RELEASE_ZIP}")
    message(STATUS "Release: ${RELEASE_ZIP}, ${RELEASE_SIGNING}")
endif()

enable_testing()

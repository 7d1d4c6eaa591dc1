# What makes UpdateTool.exe a product: its manifest, its version resource and the release zip.
# The version comes from project(VERSION) in the top CMakeLists.txt and nowhere else.
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

# The zip handed to users: the executable, the read-me texts and their checksums.
set(RELEASE_ZIP "${CMAKE_BINARY_DIR}/UpdateTool-${PROJECT_VERSION}.zip")
set(RELEASE_READMES
    "${CMAKE_SOURCE_DIR}/resources/readme/README-en.txt"
    "${CMAKE_SOURCE_DIR}/resources/readme/README-ja.txt")
add_custom_command(
    OUTPUT "${RELEASE_ZIP}"
    COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/scripts/make_release_zip.py"
        "${RELEASE_ZIP}" "$<TARGET_FILE:UpdateTool>" ${RELEASE_READMES}
    DEPENDS UpdateTool "$<TARGET_FILE:UpdateTool>" ${RELEASE_READMES}
        "${CMAKE_SOURCE_DIR}/scripts/make_release_zip.py"
    COMMENT "Packing ${RELEASE_ZIP}"
    VERBATIM)
add_custom_target(release DEPENDS "${RELEASE_ZIP}")

enable_testing()
add_subdirectory(tests/release)
add_subdirectory(bench)

# The product: one statically linked GUI executable for 32-bit Windows. The same sources also
# build for x86-64 (cmake/mingw-x86_64.cmake), a test build for machines that run no 32-bit code.
enable_language(RC)

# What differs between the two word sizes, and nothing else: x86 decorates the stdcall entry
# point's name, and x64 needs the unwind tables its calling convention walks (the product drops
# them to stay small).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(UPDATE_TOOL_ENTRY UpdateToolStart)
    set(UPDATE_TOOL_ARCH_FLAGS "")
    set(UPDATE_TOOL_MANIFEST_ARCH amd64)
else()
    set(UPDATE_TOOL_ENTRY _UpdateToolStart@0)
    set(UPDATE_TOOL_ARCH_FLAGS -fno-asynchronous-unwind-tables)
    set(UPDATE_TOOL_MANIFEST_ARCH x86)
endif()

set(FIRMWARE_RC "${CMAKE_BINARY_DIR}/firmware.rc")
file(CONFIGURE OUTPUT "${FIRMWARE_RC}" CONTENT
"// Generated: the embedded firmware image.
#include \"${CMAKE_SOURCE_DIR}/resources/resource.h\"
LANGUAGE 9, 1
IDR_FIRMWARE FIRMWARE \"${FIRMWARE_IMAGE}\"
")
set_source_files_properties("${FIRMWARE_RC}" PROPERTIES OBJECT_DEPENDS "${FIRMWARE_IMAGE}")

add_executable(UpdateTool WIN32
    app/main.cpp
    ${APP_SOURCES} ${TRANSFER_SOURCES} ${PROGRESS_SOURCES} ${PROGRESS_WINDOWS_SOURCES} ${DEVICE_SOURCES}
    ${UI_SHARED_SOURCES}
    resources/update_tool.rc
    "${FIRMWARE_RC}")
add_dependencies(UpdateTool firmware_image)
# The generated folder holds the printer model's build_config.h.
target_include_directories(UpdateTool PRIVATE "${CMAKE_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/generated")
target_compile_definitions(UpdateTool PRIVATE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501)
target_compile_options(UpdateTool PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Os -fno-exceptions -fno-rtti ${UPDATE_TOOL_ARCH_FLAGS}
    -ffunction-sections -fdata-sections -Wall -Wextra>)
target_link_options(UpdateTool PRIVATE
    -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections -Wl,--no-insert-timestamp
    -nostartfiles -Wl,--entry=${UPDATE_TOOL_ENTRY})
set_target_properties(UpdateTool PROPERTIES OUTPUT_NAME UpdateTool)
# Windows pages an image in from its file while it runs, and the firmware is most of this one: a
# share that drops or a stick pulled mid-transfer would crash the tool with half an image in the
# printer. The run-from-swap bits have Windows copy the whole file to the page file at the start
# instead; GNU ld has no switch for them. A changed script relinks, so that it runs again.
add_custom_command(TARGET UpdateTool POST_BUILD
    COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/scripts/mark_run_from_swap.py"
        "$<TARGET_FILE:UpdateTool>"
    VERBATIM)
set_property(TARGET UpdateTool APPEND PROPERTY LINK_DEPENDS
    "${CMAKE_SOURCE_DIR}/scripts/mark_run_from_swap.py")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001 -I${CMAKE_SOURCE_DIR}/resources")

# The Wine tests run the build of the word size this machine's Wine runs: the 32-bit product
# where the machine runs 32-bit code, else the 64-bit build (preset windows-x64). The other build
# keeps only the checks that read its file, so that neither word size breaks unseen. The 32-bit
# test VM's build (preset windows-vm) sets UPDATE_TOOL_WINE_TESTS itself: its tests run in the
# VM, whatever this machine runs.
if(NOT DEFINED UPDATE_TOOL_WINE_TESTS)
    execute_process(COMMAND bash "${CMAKE_SOURCE_DIR}/scripts/wine-arch.sh"
        OUTPUT_VARIABLE wine_arch OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(this_arch win64)
    else()
        set(this_arch win32)
    endif()
    if(wine_arch STREQUAL this_arch)
        set(UPDATE_TOOL_WINE_TESTS ON)
    else()
        set(UPDATE_TOOL_WINE_TESTS OFF)
        message(STATUS "Wine tests: not in this ${this_arch} build, as this machine's Wine is "
            "${wine_arch}; only the checks that read the executable's file run here")
    endif()
endif()

# The 32-bit test VM emulates the PC: a Wine program starts there 10 to 20 times slower than
# here, steady work runs about twice as slow. Its build (preset windows-vm) multiplies each Wine
# test's time limit by this factor, and the margin each check of the tool's own timing allows
# above its nominal figure (UPDATE_TOOL_TIME_SLACK): a goal missed there by the emulation alone
# says nothing of the product, whose timing the native run checks as it stands.
set(UPDATE_TOOL_TEST_TIMEOUT_SCALE 1 CACHE STRING "factor on the Wine tests' time limits")
function(scale_test_timeouts)
    get_property(names DIRECTORY PROPERTY TESTS)
    foreach(name IN LISTS names)
        get_test_property(${name} TIMEOUT limit)
        if(limit)
            math(EXPR limit "${limit} * ${UPDATE_TOOL_TEST_TIMEOUT_SCALE}")
            set_tests_properties(${name} PROPERTIES TIMEOUT ${limit})
        endif()
        set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
            "UPDATE_TOOL_TIME_SLACK=${UPDATE_TOOL_TEST_TIMEOUT_SCALE}")
    endforeach()
endfunction()
include(cmake/Release.cmake)

add_subdirectory(tests)

# Fails when a tracked C++ source differs from what .clang-format makes of it.
# Usage: cmake -DCLANG_FORMAT=... -DGIT=... -DSOURCE_DIR=... -P check_format.cmake
cmake_policy(VERSION 3.25)
execute_process(COMMAND "${GIT}" ls-files -- "*.cpp" "*.h" WORKING_DIRECTORY "${SOURCE_DIR}"
    OUTPUT_VARIABLE files RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0 OR files STREQUAL "")
    message(FATAL_ERROR "git ls-files found no C++ sources in ${SOURCE_DIR} (${rc})")
endif()
string(REPLACE "\n" ";" files "${files}")
list(LENGTH files count)
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run --Werror ${files}
    WORKING_DIRECTORY "${SOURCE_DIR}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "sources above differ from .clang-format: run clang-format -i on them")
endif()
message(STATUS "${count} sources match .clang-format")

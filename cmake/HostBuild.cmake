# The host build: the same sources against the simulated platform, unit-tested with GoogleTest.
enable_testing()
find_package(GTest REQUIRED)

set(SIM_INCLUDE "${CMAKE_SOURCE_DIR}/tests/sim/include")
add_compile_options(-Wall -Wextra)

# One library per module, so that a test links the real modules it exercises and replaces
# the others at their boundary.
foreach(module ui_shared app device transfer progress)
    string(TOUPPER ${module} upper)
    add_library(ut_${module} STATIC ${${upper}_SOURCES})
    # The generated folder holds the printer model's build_config.h, as in the product.
    target_include_directories(ut_${module} PUBLIC
        "${CMAKE_SOURCE_DIR}" "${SIM_INCLUDE}" "${CMAKE_BINARY_DIR}/generated")
endforeach()
foreach(module app device transfer progress)
    target_link_libraries(ut_${module} PUBLIC ut_ui_shared)
endforeach()

add_subdirectory(tests)

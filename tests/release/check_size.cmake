# Fails when the executable, less the firmware image it carries, outgrows its budget.
# cmake -DEXE=UpdateTool.exe -DIMAGE=firmware.bin -DBUDGET=bytes -P check_size.cmake
file(SIZE "${EXE}" exe_size)
file(SIZE "${IMAGE}" image_size)
math(EXPR own_size "${exe_size} - ${image_size}")
math(EXPR headroom "${BUDGET} - ${own_size}")
message("UpdateTool.exe ${exe_size} bytes - image ${image_size} bytes = ${own_size} bytes "
        "(budget ${BUDGET}, headroom ${headroom})")
if(own_size GREATER BUDGET)
    message(FATAL_ERROR "The tool is ${own_size} bytes without its image, over the ${BUDGET} budget")
endif()

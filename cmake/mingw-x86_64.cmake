# Cross-compiles for 64-bit Windows with Debian's mingw-w64 toolchain: a test build of the same
# sources, for machines that run no 32-bit code. The product stays the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake")

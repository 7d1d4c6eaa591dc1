#!/usr/bin/env bash
# Builds everything and runs every test: host unit tests (ASan/UBSan), then the Windows
# executable's tests, the system tests under Wine among them. The product is the 32-bit
# UpdateTool.exe; where this machine runs no 32-bit code, the Wine tests run the 64-bit build
# of the same sources under 64-bit Wine, and the product is checked from its bytes.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
wine_arch=$(bash scripts/wine-arch.sh)
why=$(bash scripts/wine-arch.sh --why)
if [ "$wine_arch" = win32 ]; then
    echo "== Wine tests run build/windows/UpdateTool.exe (32-bit, the product) under 32-bit Wine"
else
    echo "== Wine tests run build/windows-x64/UpdateTool.exe (64-bit build of the same sources)" \
        "under 64-bit Wine: $why"
fi

export CMAKE_BUILD_PARALLEL_LEVEL=$(nproc 2>/dev/null || echo 2)

echo "== Host build and unit tests"
CTEST_PARALLEL_LEVEL=$CMAKE_BUILD_PARALLEL_LEVEL cmake --workflow --preset host

echo "== Windows build and its tests"
cmake --workflow --preset windows

if [ "$wine_arch" = win64 ]; then
    echo "== 64-bit Windows build and the Wine tests"
    cmake --workflow --preset windows-x64
fi

#!/usr/bin/env bash
# The README's first command: installs what is missing, builds UpdateTool.exe and runs one whole
# update under Wine against a simulated printer, then says whether the printer received exactly
# the embedded image. Headless (Xvfb, screenshots, clicks made for you) unless DISPLAY is set, in
# which case the tool opens on your display and you click. Pass --lang ja for Japanese.
# Where this machine runs no 32-bit code, the 64-bit build of the same sources runs instead.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export CMAKE_BUILD_PARALLEL_LEVEL=$(nproc 2>/dev/null || echo 2)
cmake --workflow --preset run
build=build/windows
why=$(bash scripts/wine-arch.sh --why)
if [ "$(bash scripts/wine-arch.sh)" = win32 ]; then
    echo "Running build/windows/UpdateTool.exe (32-bit, the product) under 32-bit Wine"
else
    cmake --workflow --preset run-x64
    build=build/windows-x64
    echo "Running build/windows-x64/UpdateTool.exe (64-bit build of the same sources) under" \
        "64-bit Wine: $why"
fi

exec python3 -m tests.system.run_tool --build-dir "$build" "$@"

#!/usr/bin/env bash
# The README's first command: installs what is missing, builds UpdateTool.exe and runs one whole
# update under Wine against a simulated printer, then says whether the printer received exactly
# the embedded image. Headless (Xvfb, screenshots, clicks made for you) unless DISPLAY is set, in
# which case the tool opens on your display and you click. Pass --lang ja for Japanese.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export CMAKE_BUILD_PARALLEL_LEVEL=$(nproc 2>/dev/null || echo 2)
cmake --workflow --preset run

exec python3 tests/system/run_tool.py --build-dir build/windows "$@"

#!/usr/bin/env bash
# The README's first command: installs what is missing, builds UpdateTool.exe and runs one whole
# update under Wine against a simulated printer, then says whether the printer received exactly
# the embedded image. Headless (Xvfb, screenshots, clicks made for you) unless DISPLAY is set, in
# which case the tool opens on your display and you click. Pass --lang ja for Japanese.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset windows
cmake --build --preset windows -j "$jobs" --target UpdateTool ud_driver

exec python3 tests/system/run_tool.py --build-dir build/windows "$@"

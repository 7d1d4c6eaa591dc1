#!/usr/bin/env bash
# Builds everything and runs every test: host unit tests (ASan/UBSan), then the Windows
# executable's tests, the system tests under Wine among them.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

echo "== Host build and unit tests"
cmake --preset host
cmake --build --preset host -j "$jobs"
ctest --preset host -j "$jobs"

echo "== Windows build and its tests (Wine)"
cmake --preset windows
cmake --build --preset windows -j "$jobs"
ctest --preset windows

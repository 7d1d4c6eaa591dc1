#!/usr/bin/env bash
# Builds everything and runs every test: host unit tests (ASan/UBSan), then the Windows
# executable's tests, the system tests under Wine among them.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export CMAKE_BUILD_PARALLEL_LEVEL=$(nproc 2>/dev/null || echo 2)

echo "== Host build and unit tests"
CTEST_PARALLEL_LEVEL=$CMAKE_BUILD_PARALLEL_LEVEL cmake --workflow --preset host

echo "== Windows build and its tests (Wine)"
cmake --workflow --preset windows

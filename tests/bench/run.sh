#!/usr/bin/env bash
# The benchmark in one command: builds the tool, of the word size this machine runs, and the
# programs it is measured with, then runs the tests.bench.bench module (options pass through, e.g. --runs 9).
# Not part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/install-deps.sh
# The build that runs here: the 32-bit product, or its 64-bit build where 32-bit code cannot run.
preset=windows
[ "$(bash scripts/wine-arch.sh)" = win64 ] && preset=windows-x64
cmake --preset $preset >/dev/null
cmake --build --preset $preset --target bench_programs
exec python3 -m tests.bench.bench --build-dir build/$preset "$@"

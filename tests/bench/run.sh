#!/usr/bin/env bash
# The benchmark in one command: builds the tool, of the word size this machine runs, and the
# programs it is measured with, then runs the tests.bench.bench module (options pass through, e.g. --runs 9).
# With UPDATE_TOOL_VM=1, the 32-bit product's start-up and pause figures in the emulated 32-bit
# test VM instead (tests/bench/results-vm.md). Not part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/install-deps.sh
if [ "${UPDATE_TOOL_VM:-}" = 1 ]; then
    cmake --preset windows-vm >/dev/null
    cmake --build --preset windows-vm --target bench_programs
    results=build/windows-vm/tests/bench/results-vm.md
    bash tests/vm/run.sh 3600 build/windows-vm /usr/bin/python3 -m tests.bench.bench \
        --build-dir build/windows-vm --emulated --results "$results" "$@"
    cp "$results" tests/bench/results-vm.md
    echo "results copied to tests/bench/results-vm.md"
    exit 0
fi
# The build that runs here: the 32-bit product, or its 64-bit build where 32-bit code cannot run.
preset=windows
[ "$(bash scripts/wine-arch.sh)" = win64 ] && preset=windows-x64
cmake --preset $preset >/dev/null
cmake --build --preset $preset --target bench_programs
exec python3 -m tests.bench.bench --build-dir build/$preset "$@"

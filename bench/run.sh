#!/usr/bin/env bash
# The benchmark in one command: builds the tool and the programs it is measured with, then
# runs bench/bench.py (options pass through, e.g. --runs 9). Not part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target bench_programs
exec python3 bench/bench.py --build-dir build/windows "$@"

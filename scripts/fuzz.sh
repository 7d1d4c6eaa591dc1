#!/usr/bin/env bash
# Fuzzes the hardware-ID walk, or with TARGET command_line the command line, for SECONDS
# (default 600), or until RUNS inputs when given, from the committed seeds and what earlier runs
# kept in build/host/tests/fuzz/corpus-TARGET. Any crash is written there as crash-* with the
# input that caused it.
# Usage: bash scripts/fuzz.sh [SECONDS] [RUNS] [hardware_id_walk | command_line]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
runs=${2:--1}
target=${3:-hardware_id_walk}
seeds=seeds
[ "$target" = command_line ] && seeds=command_line_seeds
cmake --preset host >/dev/null
cmake --build --preset host --target "${target}_fuzz"
dir=build/host/tests/fuzz
mkdir -p "$dir/corpus-$target"
cd "$dir"
exec "./${target}_fuzz" -max_total_time="$seconds" -runs="$runs" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "corpus-$target" "../../../../tests/fuzz/$seeds"

#!/usr/bin/env bash
# Fuzzes the hardware-ID walk for SECONDS (default 600), or until RUNS inputs when given, from
# the committed seeds and what earlier runs kept in build/host/tests/fuzz/corpus. Any crash is
# written there as crash-* with the input that caused it.
# Usage: bash scripts/fuzz.sh [SECONDS] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
runs=${2:--1}
cmake --preset host >/dev/null
cmake --build --preset host --target hardware_id_walk_fuzz
dir=build/host/tests/fuzz
mkdir -p "$dir/corpus"
cd "$dir"
exec ./hardware_id_walk_fuzz -max_total_time="$seconds" -runs="$runs" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 corpus ../../../../tests/fuzz/seeds

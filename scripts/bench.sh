#!/bin/sh
# Builds the benchmarks in their own folder and prints their figures.
# Usage: scripts/bench.sh [megabytes=20] [rounds=5]   (BUILD_DIR overrides the folder)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench}
cmake --preset native -B "$build" -DSETUP_BENCH=ON -DSETUP_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target ini_bench
"$build/bench/ini_bench" "${1:-20}" "${2:-5}"

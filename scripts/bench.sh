#!/bin/sh
# shellcheck source-path=SCRIPTDIR
# Builds the benchmarks in their own folder and prints their figures.
# Usage: scripts/bench.sh [megabytes=20] [rounds=5]   (BUILD_DIR overrides the folder)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../tests/e2e/lib/bench.sh
. "$root/tests/e2e/lib/bench.sh"
bench_build ini_bench
"$build/bench/ini_bench" "${1:-20}" "${2:-5}"

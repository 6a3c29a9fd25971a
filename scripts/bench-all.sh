#!/bin/sh
# shellcheck source-path=SCRIPTDIR
# Runs every benchmark in one go, with the machine's load before and after:
# the script reader against inih, the copier against cp / cp -r, the download
# against curl, how the work on unbounded inputs grows, whole installations
# against cp / cp -r (scripts/bench-install.sh). The figures of
# bench/README.md come from this command.
# Usage: scripts/bench-all.sh [work folder for the copy benchmark]
#        (BUILD_DIR overrides the build folder, default build/bench)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../tests/e2e/lib/bench.sh
. "$root/tests/e2e/lib/bench.sh"
bench_build ini_bench copy_bench download_bench growth_bench
export BUILD_DIR="$build"
echo "== $(nproc) cores; before: $(uptime)"
echo "== script reader (scripts/bench.sh)"
"$root/scripts/bench.sh"
echo "== copier (scripts/bench-copy.sh)"
"$root/scripts/bench-copy.sh" "$@"
echo "== download"
"$build/bench/download_bench"
echo "== growth from 10,000 to 200,000 items"
"$build/bench/growth_bench"
echo "== whole installations (scripts/bench-install.sh)"
"$root/scripts/bench-install.sh"
echo "== after: $(uptime)"

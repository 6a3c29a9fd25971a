#!/bin/sh
# shellcheck source-path=SCRIPTDIR
# Builds the copy benchmark in its own folder and runs it: a 512 MiB file and a
# tree of 10,000 files copied by the installer's copier and by cp / cp -r.
# Usage: scripts/bench-copy.sh [work folder on the disk to measure] [--drop-caches]
#        (BUILD_DIR overrides the build folder; the work folder is deleted afterwards)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../tests/e2e/lib/bench.sh
. "$root/tests/e2e/lib/bench.sh"
bench_build copy_bench
/usr/bin/time -f "copy_bench: %e s, peak RSS %M KiB" "$build/bench/copy_bench" "$@"

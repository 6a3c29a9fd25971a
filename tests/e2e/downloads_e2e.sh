#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# Downloads of the Linux build, end to end: the program of BUILD_DIR installs
# examples/web-subproject while its web folder is served over HTTP on
# 127.0.0.1, and every file of the folder's list must arrive; a configure
# without libcurl must stop with a message (no build leaves downloads out).
#
#   tests/e2e/downloads_e2e.sh BUILD_DIR
#
# Needs python3 (the HTTP server of examples/web-subproject/serve.sh).
set -u

if [ $# -ne 1 ] || [ ! -x "$1/setup" ]; then
    echo "usage: $0 BUILD_DIR (with the native setup)" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
# shellcheck source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
# shellcheck source=lib/web.sh
. "$(dirname "$0")/lib/web.sh"
command -v python3 >/dev/null 2>&1 || { echo "$0: python3 is needed for the HTTP server" >&2; exit 1; }

e2e_scratch setup-downloads
e2e_fresh_root "$work/root"
export SETUP_LANG=DEU

project="$work/atlas"
e2e_serve_web "$project" "$work/server.log"

"$build/setup" "$project/install.ins" --unattended "--answers=$project/answers.txt" \
    "--log=$work/log.txt" >"$work/out" 2>&1
status=$?
check "the installation succeeds (exit status $status)" test "$status" = 0
check "no download reports a failure" bash -c "! grep -q 'nicht kopiert\|nicht gefunden\|libcurl' '$work/log.txt'"
target="$SETUP_ROOT/drive_c/Program Files/Qorv/Atlas/aktuell"
for file in neu.txt daten/stand.txt daten/bevoelkerung.csv; do
    check "$file is downloaded" cmp -s "$project/web/atlas/$file" "$target/$file"
done

# A configure without libcurl stops, naming what is missing.
if cmake -S "$source_dir" -B "$work/no-curl" -DCMAKE_DISABLE_FIND_PACKAGE_CURL=ON \
    -DSETUP_TESTS=OFF >"$work/cmake.log" 2>&1; then
    check "configuring without libcurl fails" false
else
    check "the configure error names libcurl" grep -q "libcurl with its headers is required" "$work/cmake.log"
fi

if [ "$failures" != 0 ]; then
    echo "--- log"
    cat "$work/log.txt"
    echo "--- output"
    cat "$work/out"
fi
echo "downloads e2e: $checks checks, $failures failed ($build/setup)"
[ "$failures" = 0 ]

#!/usr/bin/env bash
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
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
command -v python3 >/dev/null 2>&1 || { echo "$0: python3 is needed for the HTTP server" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/setup-downloads.XXXXXX")
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
export SETUP_ROOT="$work/root" SETUP_LANG=DEU

failures=0
checks=0
check() { # check DESCRIPTION COMMAND...
    checks=$((checks + 1))
    "${@:2}" || { echo "FAIL: $1" >&2; failures=$((failures + 1)); }
}

project="$work/atlas"
bash "$source_dir/examples/web-subproject/serve.sh" "$project" >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 1 100); do
    [ -s "$project/port.txt" ] && break
    sleep 0.1
done
[ -s "$project/port.txt" ] || { cat "$work/server.log"; echo "the web folder's server did not start" >&2; exit 1; }

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

#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# Runs every test program of a win64 build under wine64, then the end-to-end
# tests of its Setup.exe, in a fresh Wine prefix that is thrown away afterwards.
#
#   scripts/wine-tests.sh BUILD_DIR [gtest arguments...]
#
# Exit status: 0 when every test program passed, 1 when one failed, 2 on a
# usage error, 3 when wine64 is missing (0 then with SETUP_ALLOW_SKIP=1).
set -u
e2e="$(cd "$(dirname "$0")/.." && pwd)/tests/e2e"
# shellcheck source=../tests/e2e/lib/common.sh
. "$e2e/lib/common.sh"
# shellcheck source=../tests/e2e/lib/wine.sh
. "$e2e/lib/wine.sh"

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 BUILD_DIR [gtest arguments...]" >&2
    exit 2
fi
build_dir=$(cd "$1" && pwd)
shift

if ! e2e_have_wine; then
    echo "SKIPPED: wine64 not installed ($WINE64)"
    [ "${SETUP_ALLOW_SKIP:-0}" = 1 ] && exit 0
    exit 3
fi

mapfile -t programs < <(find "$build_dir" -name '*_tests.exe' -not -path '*/CMakeFiles/*' | sort)
if [ ${#programs[@]} -eq 0 ]; then
    echo "no *_tests.exe in $build_dir (build the win64 preset first)" >&2
    exit 1
fi

e2e_wine_env
# The tests expect the built-in German texts, whatever Wine's language is.
export SETUP_LANG=${SETUP_LANG:-DEU}

# Dialog tests need a display; a private virtual one keeps them off the
# desktop (the current DISPLAY is used only when Xvfb is missing).
e2e_start_xvfb 90 120

start=$(date +%s)
if ! e2e_wine_prefix "$(mktemp -d "${TMPDIR:-/tmp}/setup-wine.XXXXXX")"; then
    echo "cannot initialise the Wine prefix $WINEPREFIX" >&2
    exit 1
fi
echo "Wine prefix ready in $(( $(date +%s) - start )) s"

failed=()
for program in "${programs[@]}"; do
    name=$(basename "$program")
    echo "=== $name"
    (cd "$(dirname "$program")" && "$WINE64" "$program" "$@")
    status=$?
    if [ $status -ne 0 ]; then
        echo "=== $name FAILED (exit status $status)"
        failed+=("$name")
    fi
done

# The built program itself, end to end, in the same prefix.
if [ -f "$build_dir/Setup.exe" ] && [ -x "$e2e/run.sh" ]; then
    echo "=== end-to-end tests of Setup.exe"
    if ! SETUP_RUNNER="$WINE64" "$e2e/run.sh" "$build_dir"; then
        echo "=== end-to-end tests of Setup.exe FAILED"
        failed+=("e2e")
    fi
fi

# Checking scripts (--check) on the corpus of broken scripts and the examples.
check_e2e="$(cd "$(dirname "$0")/.." && pwd)/tests/e2e/check_e2e.sh"
if [ -f "$build_dir/Setup.exe" ] && [ -x "$check_e2e" ]; then
    echo "=== script checks of Setup.exe"
    if ! SETUP_RUNNER="$WINE64" "$check_e2e" "$build_dir"; then
        echo "=== script checks of Setup.exe FAILED"
        failed+=("check")
    fi
fi

# Plans (--plan) of the example projects: nothing changed in the prefix, the
# same lines as the real run that follows (fresh prefixes of its own, one per
# case). Each case costs a minute of Wine starts; the native build plans every
# scenario, here the examples stand for them (PLAN_E2E_CASES chooses others).
plan_e2e="$(cd "$(dirname "$0")/.." && pwd)/tests/e2e/plan_e2e.sh"
if [ -f "$build_dir/Setup.exe" ] && [ -x "$plan_e2e" ]; then
    echo "=== plans of Setup.exe"
    if ! WINE64="$WINE64" PLAN_E2E_CASES="${PLAN_E2E_CASES:-app app_update fonts_cleanup web_subproject}" \
        "$plan_e2e" "$build_dir"; then
        echo "=== plans of Setup.exe FAILED"
        failed+=("plan")
    fi
fi

# The example's UninstallString run as Windows runs it, in a prefix of its own.
if [ -f "$build_dir/Setup.exe" ] && [ -x "$e2e/uninstall_e2e.sh" ]; then
    echo "=== uninstalling through the UninstallString"
    "$e2e/uninstall_e2e.sh" --wine "$build_dir" || failed+=("uninstall")
fi

# The folder chooser and the info dialogs, driven on the virtual display.
if [ -x "$e2e/dialogs_e2e.sh" ]; then
    echo "=== dialog tests"
    "$e2e/dialogs_e2e.sh" "$build_dir" || failed+=("dialogs")
fi

# The installer window, driven on the virtual display.
if [ -f "$build_dir/Setup.exe" ] && [ -x "$e2e/window_e2e.sh" ]; then
    echo "=== window tests"
    "$e2e/window_e2e.sh" "$build_dir" || failed+=("window")
fi

echo
if [ ${#failed[@]} -ne 0 ]; then
    echo "FAILED under wine64: ${failed[*]}"
    exit 1
fi
echo "All ${#programs[@]} test programs passed under wine64."

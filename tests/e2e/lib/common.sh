# shellcheck shell=bash disable=SC2034,SC2154
# What the end-to-end scripts share, sourced by them (bash): where the
# sources are, clean-up at exit, a scratch folder, Windows paths, the counted
# checks and one run of the program under test.
#
#   . "$(dirname "$0")/lib/common.sh"     (tests/e2e/*.sh)
#
# A script's checks count in `checks`, its failures in `failures`; `current`
# names the case a failure is reported for (none: the message alone).

# The top folder of the sources.
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)

checks=0
failures=0
current=

# --- clean-up -----------------------------------------------------------------

e2e_exit_actions=()
# e2e_at_exit COMMAND [ARGS...]: runs the command when the script ends (also
# on Ctrl-C or SIGTERM, which end the script with status 130), the last one
# registered first. A failing action does not stop the others.
e2e_at_exit() {
    if [ ${#e2e_exit_actions[@]} -eq 0 ]; then
        trap e2e_run_exit_actions EXIT
        trap 'exit 130' INT TERM
    fi
    e2e_exit_actions+=("$(printf '%q ' "$@")")
}
e2e_run_exit_actions() {
    local i
    for ((i = ${#e2e_exit_actions[@]} - 1; i >= 0; i--)); do
        eval "${e2e_exit_actions[i]}" || true
    done
}
# e2e_stop PID: ends a background job of this script, quietly.
e2e_stop() {
    kill "$1" 2>/dev/null && wait "$1" 2>/dev/null
    return 0
}

# e2e_scratch NAME: a fresh folder in $work (under TMPDIR), removed at exit;
# SETUP_E2E_KEEP=1 keeps it for a look and says where it is.
e2e_scratch() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX") || exit 2
    e2e_at_exit e2e_remove_scratch
}
e2e_remove_scratch() {
    if [ "${SETUP_E2E_KEEP:-0}" = 1 ]; then
        echo "work folder kept: $work"
    else
        rm -rf "$work"
    fi
}

# e2e_fresh_root FOLDER [SETUP]: a fresh emulated Windows in FOLDER for the
# native build (SETUP_ROOT, its drive C: in $drive); with SETUP, the program
# lays it out at once (a run of a script beside FOLDER that does not exist).
e2e_fresh_root() {
    export SETUP_ROOT=$1
    drive="$SETUP_ROOT/drive_c"
    if [ $# -ge 2 ]; then
        "$2" "$(dirname "$1")/none.ins" --unattended >/dev/null 2>&1 || true
    fi
}

# The Windows form of a Linux path (Z: is the Linux root in both builds).
zpath() {
    printf 'Z:%s' "${1//\//\\}"
}

# --- running the program -------------------------------------------------------

# e2e_run COMMAND [ARGS...]: runs it with stdin from /dev/null, its output in
# $work/out and $work/err; its exit status in rc.
e2e_run() {
    "$@" </dev/null >"$work/out" 2>"$work/err"
    rc=$?
}

# --- checks ----------------------------------------------------------------------

fail() {
    echo "FAIL: ${current:+$current: }$*" >&2
    failures=$((failures + 1))
}
# check DESCRIPTION COMMAND...: the command succeeds.
check() {
    checks=$((checks + 1))
    "${@:2}" || fail "$1"
}
# expect_rc STATUS: the last e2e_run ended with exit status STATUS.
expect_rc() {
    checks=$((checks + 1))
    [ "$rc" = "$1" ] || fail "exit status $rc, expected $1; stdout: $(head -c 600 "$work/out" | tr -d '\r'); stderr: $(head -c 600 "$work/err" | tr -d '\r')"
}
# expect_log TEXT: a line of the log $log contains the fixed text.
expect_log() {
    checks=$((checks + 1))
    grep -qF -- "$1" "$log" || fail "log lacks \"$1\""
}

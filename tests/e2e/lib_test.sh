#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# The shared helpers of tests/e2e/lib on their own: checks count and report
# failures, the exit status survives the clean-up, clean-up actions run in
# reverse order also after a failing one and on SIGTERM, the scratch folder
# goes (or stays with SETUP_E2E_KEEP=1), a private Xvfb display ends with the
# script. The Xvfb part says SKIPPED where Xvfb is missing.
#
#   tests/e2e/lib_test.sh
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib/common.sh
. "$here/lib/common.sh"
e2e_scratch setup-lib-test

# child SCRIPT...: runs the lines in a bash that has sourced the library;
# its stdout in $work/child.out, stderr in $work/child.err, status in rc.
child() {
    printf '. %q\n. %q\n%s\n' "$here/lib/common.sh" "$here/lib/wine.sh" "$*" >"$work/child.sh"
    e2e_run bash "$work/child.sh"
    cp "$work/out" "$work/child.out"
    cp "$work/err" "$work/child.err"
}
has() { grep -qxF -- "$2" "$work/child.$1"; }

current="checks"
child 'log=$(mktemp); echo "RESULT 1 | 0" >"$log"
check yes true; check "no such thing" false
current=Fall; e2e_run sh -c "echo aus; echo fehler >&2; exit 3"
expect_rc 3; expect_rc 0; expect_log "RESULT 1"; expect_log "RESULT 2"; rm -f "$log"
echo "$checks $failures"'
check "counted: 6 checks, 3 failed" has out "6 3"
check "a failure without a case" has err "FAIL: no such thing"
check "a wrong exit status names the case, stdout and stderr" \
    has err "FAIL: Fall: exit status 3, expected 0; stdout: aus; stderr: fehler"
check "a missing log text" grep -qF 'FAIL: Fall: log lacks "RESULT 2"' "$work/child.err"
check "a Windows path" test "$(zpath /a/b\ c)" = 'Z:\a\b c'

current="clean-up"
child 'e2e_scratch lib-child; echo "$work"
e2e_at_exit echo "erste"
e2e_at_exit false
e2e_at_exit echo "zweite mit '\''Zeichen'\'' \$HOME"
exit 7'
check "the exit status stays" test "$rc" = 7
check "the actions run last first, also after a failing one" \
    test "$(tail -n 2 "$work/child.out" | tr '\n' '|')" = "zweite mit 'Zeichen' \$HOME|erste|"
check "the scratch folder is removed" test ! -e "$(head -n 1 "$work/child.out")"
SETUP_E2E_KEEP=1 child 'e2e_scratch lib-child; echo "$work"'
kept=$(head -n 1 "$work/child.out")
check "SETUP_E2E_KEEP=1 keeps the scratch folder" test -d "$kept"
check "and says where" has out "work folder kept: $kept"
rm -rf "$kept"
child 'e2e_scratch lib-child; echo "$work"; kill -TERM $$; sleep 5; echo "nicht beendet"'
check "SIGTERM ends the script with status 130" test "$rc" = 130
check "SIGTERM removes the scratch folder" test ! -e "$(head -n 1 "$work/child.out")"
check "SIGTERM stops the script" bash -c "! grep -q 'nicht beendet' '$work/child.out'"

current="Xvfb"
if command -v Xvfb >/dev/null 2>&1; then
    child 'e2e_start_xvfb 241 260 || exit 1; echo "$DISPLAY"; pgrep -f "Xvfb $DISPLAY " | head -n 1'
    display=$(sed -n 1p "$work/child.out")
    pid=$(sed -n 2p "$work/child.out")
    check "a display is started ($display)" test "$rc" = 0 -a -n "$pid"
    sleep 0.5
    check "the display ends with the script" bash -c "! kill -0 '$pid' 2>/dev/null"
else
    echo "SKIPPED: e2e lib test: Xvfb not installed"
fi

echo "e2e lib test: $checks checks, $failures failed"
[ "$failures" = 0 ]

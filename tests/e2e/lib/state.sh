# shellcheck shell=bash
# What the tests of runs that must change nothing (--check, --plan) share:
# the state of the machine to compare before and after, and the self-test
# runner that plays a test's suite against a stand-in spoilt in one way per
# mode.
#
#   e2e_tree_state OUT ROOT...        every file and folder below the roots
#   e2e_wine_registry_state OUT DIR   the Wine registry as regedit exports it
#                                     (DIR: a scratch folder for the export)
#   e2e_self_test NAME SUITE MODE...  MODE is "mode|text the failures show"
#                                     ("mode|" when the suite must pass)

e2e_state_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The system's Python starts fastest (a version manager's shim can take seconds).
e2e_python=$(command -v /usr/bin/python3 || command -v python3)

e2e_tree_state() { # e2e_tree_state OUT ROOT...
    local out=$1
    shift
    "$e2e_python" "$e2e_state_lib/../tree_state.py" "$@" >"$out"
}

# The keys a run writes (classes, the machine's and the user's software),
# from one export of the whole registry; what Wine keeps elsewhere changes
# on its own.
e2e_wine_registry_state() { # e2e_wine_registry_state OUT DIR
    local out=$1 dir=$2
    rm -f "$dir/export.reg"
    "${WINE64:-/usr/lib/wine/wine64}" regedit /E "Z:${dir//\//\\}\\export.reg" >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    "$e2e_python" - "$dir/export.reg" >"$out" <<'PY'
import sys
try:
    data = open(sys.argv[1], 'rb').read()
except OSError:
    print('(no export)')
    sys.exit()
text = data.decode('utf-16') if data[:2] in (b'\xff\xfe', b'\xfe\xff') else data.decode('latin-1')
kept = ('[HKEY_LOCAL_MACHINE\\SOFTWARE', '[HKEY_CURRENT_USER\\SOFTWARE', '[HKEY_CLASSES_ROOT')
keep = False
for line in text.splitlines():
    if line.startswith('['):
        keep = line.upper().startswith(kept)
    if keep:
        print(line)
PY
}

# Runs SUITE (a function that sets failures and checks) once per mode with
# FAKE_MODE set; a mode passes when the suite passes (no text given) or
# fails with the text on standard error. Prints one line; false when a
# mode did not behave.
e2e_self_test() { # e2e_self_test NAME SUITE MODE...
    local name=$1 suite=$2 entry want ok=0 bad=0 err
    shift 2
    err=$(mktemp)
    for entry in "$@"; do
        export FAKE_MODE=${entry%%|*}
        want=${entry#*|}
        "$suite" 2>"$err" >/dev/null
        if [ -z "$want" ] && [ "$failures" = 0 ] && [ "$checks" -gt 0 ]; then
            ok=$((ok + 1))
        elif [ -n "$want" ] && [ "$failures" -gt 0 ] && grep -qF -- "$want" "$err"; then
            ok=$((ok + 1))
        else
            bad=$((bad + 1))
            echo "SELF-TEST FAILED: mode $FAKE_MODE: $failures failures (expected: ${want:-none})" >&2
            head -5 "$err" >&2
        fi
    done
    rm -f "$err"
    echo "$name self-test: $ok of $# modes behave as expected"
    [ "$bad" = 0 ]
}

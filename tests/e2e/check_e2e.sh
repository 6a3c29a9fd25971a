#!/usr/bin/env bash
# End-to-end test of `setup --check` on the corpus of broken scripts in
# tests/check/corpus and on the example projects.
#
#   tests/e2e/check_e2e.sh BUILD_DIR
#   SETUP_RUNNER=/usr/lib/wine/wine64 tests/e2e/check_e2e.sh build/win64
#   tests/e2e/check_e2e.sh --self-test
#
# Run by scripts/test-all.sh (native) and scripts/wine-tests.sh (win64). A
# build that rejects --check as an unknown option FAILS this test (with a
# message saying so); it is never skipped.
#
# For each case folder tests/check/corpus/CASE the program checks a copy of
# CASE/install.ins; the findings it prints (PATH, LINE, severity and code, in
# any order) must be those of CASE/expect (CASE/expect.windows for the
# Windows build where the two differ), the last line must count them and the
# exit status must be 0 (none), 1 (warnings only) or 2 (errors); see
# tests/check/README.md. Every check must write nothing: the emulated root
# (the native build's SETUP_ROOT; the Wine prefix's drive_c and registry),
# the case folder and the current folder are the same before and after, no
# log is written without --log and no Deinst.ins anywhere. The example
# projects (staged as tests/e2e/examples_e2e.sh does) must check clean, or
# warn only as tests/check/examples.expect lists.
#
# A Windows build gets every path in its Z: form and runs in WINEPREFIX (a
# fresh prefix made here when none is set). --self-test runs the whole test
# against a shell function standing in for the program, once as it should
# behave and once for each kind of fault the test must catch.
set -u

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
corpus="$source_dir/tests/check/corpus"
compare="$source_dir/tests/check/compare_findings.py"
export SETUP_LANG=DEU
# shellcheck source=lib/state.sh
. "$here/lib/state.sh"
python=$e2e_python

work=$(mktemp -d "${TMPDIR:-/tmp}/setup-check-e2e.XXXXXX")
own_prefix=0
cleanup() {
    if [ "$own_prefix" = 1 ]; then
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
    fi
    if [ "${SETUP_E2E_KEEP:-0}" = 1 ]; then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

failures=0
checks=0
fail() {
    echo "FAIL: $current: $*" >&2
    failures=$((failures + 1))
}

zpath() { printf 'Z:%s' "${1//\//\\}"; }
path() { # a path as it is given to the program under test
    if [ "$windows" = 1 ]; then zpath "$1"; else printf '%s' "$1"; fi
}

# run ARGS...: the program (or the self-test's stand-in) in the empty folder
# $work/cwd, stdin from /dev/null; sets rc and the files $work/out, $work/err.
run() {
    (cd "$work/cwd" && "${program[@]}" "$@" </dev/null >"$work/out" 2>"$work/err")
    rc=$?
    [ "$windows" = 1 ] && wineserver -w >/dev/null 2>&1
}

# The state of everything a check must not change.
machine_state() { # machine_state FILE EXTRA_DIR...
    local out=$1
    shift
    if [ "$windows" = 1 ]; then
        e2e_tree_state "$out" "$WINEPREFIX/drive_c" "$@"
    else
        e2e_tree_state "$out" "$SETUP_ROOT" "$@"
    fi
}
registry_state() { e2e_wine_registry_state "$1" "$work"; }
expect_unchanged() { # expect_unchanged BEFORE AFTER WHAT
    checks=$((checks + 1))
    if ! diff "$1" "$2" >"$work/state.diff"; then
        fail "$3 changed by the check: $(grep '^[<>]' "$work/state.diff" | head -8 | tr '\n' ' ')"
    fi
}

# check_one NAME DIR EXPECT: checks DIR/install.ins against the expectation file.
check_one() {
    current=$1
    local dir=$2 expect=$3
    machine_state "$work/before" "$dir" "$work/cwd"
    run --check "$(path "$dir/install.ins")"
    machine_state "$work/after" "$dir" "$work/cwd"
    expect_unchanged "$work/before" "$work/after" "the emulated root, the case folder or the current folder"
    checks=$((checks + 1))
    tr -d '\r' <"$work/out" >"$work/stdout"
    if ! "$python" "$compare" "$expect" "$work/stdout" "$rc" "$dir" >"$work/compare.txt"; then
        while IFS= read -r line; do fail "$line"; done <"$work/compare.txt"
        echo "  (output of $current, exit status $rc:)" >&2
        sed 's/^/  | /' "$work/stdout" | head -30 >&2
        [ -s "$work/err" ] && sed 's/^/  ! /' "$work/err" | head -5 >&2
    fi
}

# ---------------------------------------------------------------------------
# The whole test, against "${program[@]}".
suite() {
    failures=0
    checks=0
    rm -rf "$work/corpus" "$work/examples" "$work/cwd" "$work/logs" "$work/root" "$work/no-root"
    mkdir -p "$work/cwd" "$work/logs"
    cp -a "$corpus" "$work/corpus"
    if [ "$windows" = 0 ]; then
        export SETUP_ROOT="$work/root"
        # A fresh emulated Windows, laid out by a run on a script that is not there.
        run "$work/none.ins" --unattended
    fi

    current="--check accepted"
    run --check "$(path "$work/corpus/clean-minimal/install.ins")"
    checks=$((checks + 1))
    if [ "$rc" = 2 ] && grep -qiE -- 'unbekannte option|unknown option|--check' "$work/err" "$work/out"; then
        fail "the program rejects --check as an unknown option (exit status 2): $(tr -d '\r' <"$work/err" | head -1)"
        return
    fi

    local c name expect
    for c in "$work/corpus"/*/; do
        name=$(basename "$c")
        expect="$c/expect"
        [ "$windows" = 1 ] && [ -f "$c/expect.windows" ] && expect="$c/expect.windows"
        check_one "$name" "${c%/}" "$expect"
    done

    # The examples, staged with their fixed file dates (and fonts).
    mkdir -p "$work/examples"
    bash "$source_dir/examples/app/stage.sh" "$work/examples/app" >/dev/null || fail "examples/app/stage.sh failed"
    bash "$source_dir/examples/fonts-cleanup/stage.sh" "$work/examples/fonts-cleanup" >/dev/null ||
        fail "examples/fonts-cleanup/stage.sh failed"
    for name in hello demo web-subproject; do cp -r "$source_dir/examples/$name" "$work/examples/$name"; done
    for name in hello demo app fonts-cleanup fonts-cleanup/v1 web-subproject; do
        current="example $name"
        local allowed="$work/examples-${name//\//-}.expect"
        : >"$allowed"
        while IFS= read -r line; do
            case "$line" in
            "$name "*) line=${line#"$name "}
                case "$line" in
                *": error ["*) fail "tests/check/examples.expect: an example may warn, never fail: $line" ;;
                esac
                printf '%s\n' "$line" >>"$allowed" ;;
            esac
        done <"$source_dir/tests/check/examples.expect"
        check_one "example $name" "$work/examples/$name" "$allowed"
    done

    current="--check --log"
    machine_state "$work/before" "$work/corpus/clean-minimal" "$work/cwd"
    run --check "--log=$(path "$work/logs/check.log")" "$(path "$work/corpus/clean-minimal/install.ins")"
    machine_state "$work/after" "$work/corpus/clean-minimal" "$work/cwd"
    expect_unchanged "$work/before" "$work/after" "the emulated root, the case folder or the current folder"
    checks=$((checks + 1))
    [ "$rc" = 0 ] || fail "exit status $rc, expected 0"
    checks=$((checks + 1))
    grep -q '^START ' "$work/logs/check.log" 2>/dev/null || fail "--log wrote no log with a START line"

    current="--check of a script that is not there"
    run --check "$(path "$work/fehlt/install.ins")"
    checks=$((checks + 1))
    [ "$rc" = 2 ] || fail "exit status $rc, expected 2"

    if [ "$windows" = 0 ]; then
        current="--check without an emulated root"
        SETUP_ROOT="$work/no-root" run --check "$work/corpus/clean-minimal/install.ins"
        checks=$((checks + 1))
        [ "$rc" = 0 ] || fail "exit status $rc, expected 0"
        checks=$((checks + 1))
        [ ! -e "$work/no-root" ] || fail "the check made the emulated root $work/no-root"
    fi

    current="no Deinst.ins"
    checks=$((checks + 1))
    local deinst
    deinst=$(find "$work" -iname deinst.ins -print -quit)
    [ -z "$deinst" ] || fail "a check wrote $deinst"
}

# ---------------------------------------------------------------------------
# The stand-in for the self-test: prints what the corpus expects, spoilt in
# the way FAKE_MODE says.
fake_setup() {
    local a script='' log='' check=0
    for a in "$@"; do
        case "$a" in
        --check) check=1 ;;
        --log=*) log=${a#--log=} ;;
        --*) ;;
        *) script=$a ;;
        esac
    done
    if [ "$check" = 1 ] && [ "$FAKE_MODE" = reject ]; then
        echo "Unbekannte Option: --check" >&2
        return 2
    fi
    if [ "$check" = 0 ]; then # a run: lays out the emulated root
        mkdir -p "$SETUP_ROOT/drive_c/Windows/System32"
        printf 'REGEDIT4\r\n' >"$SETUP_ROOT/registry.reg"
        return 2
    fi
    [ -n "$log" ] && printf 'START 0 | %s\n' "$script" >"$log"
    [ -f "$script" ] || return 2
    local dir
    dir=$(dirname "$script")
    case "$FAKE_MODE" in
    writes) printf 'x\r\n' >"$dir/Deinst.ins" ;;
    root) [ -d "${SETUP_ROOT:-/nonexistent}" ] && touch "$SETUP_ROOT/registry.reg" ;;
    esac
    "$python" - "$dir" "$script" "$FAKE_MODE" <<'PY'
import os, re, sys
case, script, mode = sys.argv[1:]
expect = os.path.join(case, 'expect')
lines = open(expect, encoding='utf-8').read().splitlines() if os.path.exists(expect) else []
found = []
for l in lines:
    m = re.match(r'^(.+):(\d+): (error|warning) \[([a-z-]+)\](?: (.*))?$', l)
    if not m:
        continue
    path, line, sev, code, words = m.groups()
    if path == 'install.ins':
        path = script
    elif mode == 'zpaths':
        path = 'Z:' + os.path.join(case, path).replace('/', '\\')
    else:
        path = path.replace('/', '\\')
    if mode == 'line':
        line = str(int(line) + 1)
    text = 'something is wrong here' + ('' if mode == 'nosuggest' or not words else ' (did you mean %s?)' % words)
    found.append((path, line, sev, text, code))
if mode == 'drop' and found:
    found.pop()
if mode == 'extra':
    found.append((script, '1', 'warning', 'an extra finding', 'unknown-key'))
for f in reversed(found):
    print('%s:%s: %s: %s [%s]' % f)
errors = sum(1 for f in found if f[2] == 'error')
warnings = len(found) - errors
if mode == 'count':
    warnings += 1
print('%d errors, %d warnings' % (errors, warnings))
rc = 2 if errors else 1 if warnings else 0
if mode == 'rc':
    rc = 0 if rc else 1
sys.exit(rc)
PY
}

self_test() {
    windows=0
    program=(fake_setup)
    # mode, then the text the failures must show ("" = the test must pass)
    e2e_self_test "check e2e" suite \
        "ok|" "zpaths|" "reject|rejects --check as an unknown option" "drop|missing finding" \
        "extra|unexpected finding" "rc|exit status" "count|the last line says" \
        "nosuggest|does not name" "line|unexpected finding" "writes|changed by the check" \
        "root|changed by the check"
}

if [ "${1:-}" = --self-test ]; then
    self_test
    exit
fi

# ---------------------------------------------------------------------------
if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR | --self-test" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
WINE64=${WINE64:-/usr/lib/wine/wine64}
read -r -a runner <<<"${SETUP_RUNNER:-}"
if [ -x "$build/setup" ]; then
    program=("$build/setup")
    windows=0
elif [ -f "$build/Setup.exe" ]; then
    program=("${runner[@]}" "$build/Setup.exe")
    windows=1
    if [ ${#runner[@]} -eq 0 ]; then
        echo "$0: a Windows build needs SETUP_RUNNER (e.g. /usr/lib/wine/wine64)" >&2
        exit 2
    fi
    if [ ! -x "$WINE64" ] || ! command -v wineserver >/dev/null 2>&1; then
        echo "$0: SKIPPED: the Windows build needs Wine, and wine64 is not installed ($WINE64)"
        exit 0
    fi
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
    if [ -z "${WINEPREFIX:-}" ]; then
        export WINEPREFIX="$work/prefix"
        own_prefix=1
        "$WINE64" wineboot -i >/dev/null 2>&1 || { echo "$0: the Wine prefix could not be made" >&2; exit 1; }
        wineserver -w >/dev/null 2>&1
    fi
else
    echo "$0: no setup or Setup.exe in $build" >&2
    exit 2
fi

[ "$windows" = 1 ] && registry_state "$work/registry-before"
suite
if [ "$windows" = 1 ] && [ "$checks" -gt 1 ]; then
    current="the Wine registry"
    registry_state "$work/registry-after"
    expect_unchanged "$work/registry-before" "$work/registry-after" "the registry"
fi
echo "check e2e: $checks checks, $failures failed (${program[*]})"
[ "$failures" = 0 ]

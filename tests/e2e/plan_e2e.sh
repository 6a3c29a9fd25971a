#!/usr/bin/env bash
# End-to-end test of `setup --plan`: a plan changes nothing on the machine,
# and its log holds the FILE, FOLDER, REG, LINK, DELETE and MOVE lines of the
# real run that follows, in the same order, with the same exit status.
#
#   tests/e2e/plan_e2e.sh BUILD...   (build/native, build/win64 or both)
#   tests/e2e/plan_e2e.sh --self-test
#
# A build that rejects --plan as an unknown option FAILS this test (with a
# message saying so); it is never skipped.
#
# The cases are those of tests/e2e/examples_e2e.sh: the example projects
# (with the earlier runs some of them need first) and every scenario script
# in tests/e2e/scenarios, unattended, with their answers files. Each case is
# planned and run twice: first on a fresh machine (after its earlier runs),
# then again over the installation the first round made. Before and after
# each plan the machine's state is taken: on the native build the emulated
# root (every file and folder with contents, size and modification time;
# registry.reg among them), under Wine the prefix's drive_c and a regedit
# export of the registry. They must be identical; the plan log's START line
# must end in " | plan".
#
# Files that the real run downloads from a web folder cannot be planned (a
# plan asks no web folder): the lines under the web part's folder are left
# out of the comparison for that case.
#
# A BUILD with `setup` runs the native half, one with Setup.exe the Wine
# half, which needs wine64 and is skipped with a message where it is missing. --self-test runs the
# native half against a shell function standing in for the program, once as
# it should behave and once for each kind of fault the test must catch.
set -u

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
scenarios="$here/scenarios"
# shellcheck source=lib/state.sh
. "$here/lib/state.sh"
WINE64=${WINE64:-/usr/lib/wine/wine64}
export SETUP_LANG=DEU
export TZ=${SETUP_E2E_TZ:-UTC}

work=$(mktemp -d "${TMPDIR:-/tmp}/setup-plan-e2e.XXXXXX")
server_pid=
cleanup() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1; fi
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    if [ "${SETUP_E2E_KEEP:-0}" = 1 ]; then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

failures=0
checks=0
fail() {
    echo "FAIL: $case_name ($platform, $round): $*" >&2
    failures=$((failures + 1))
}

# ---------------------------------------------------------------------------
# The sources, staged once under one path (as examples_e2e.sh does).
src="$work/src"
stage() {
    rm -rf "$src"
    mkdir -p "$src"
    bash "$source_dir/examples/app/stage.sh" "$src/app" >/dev/null || exit 1
    bash "$source_dir/examples/fonts-cleanup/stage.sh" "$src/fonts-cleanup" >/dev/null || exit 1
    cp -r "$scenarios" "$src/scenarios"
    bash "$source_dir/examples/web-subproject/serve.sh" "$src/web-subproject" >"$work/server.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 200); do
        [ -s "$src/web-subproject/port.txt" ] && break
        sleep 0.1
    done
    [ -s "$src/web-subproject/port.txt" ] || { cat "$work/server.log"; echo "the web folder's server did not start" >&2; exit 1; }
}
zsrc() { printf 'Z:%s' "${src//\//\\}"; }

# ---------------------------------------------------------------------------
# Platforms: run_setup SCRIPT ARGS... runs the program on the current one
# (SCRIPT and @answers=FILE relative to the staged sources); sets rc.
platform=
round=
case_name=
case_dir=
args_of() {
    local a
    for a in "$@"; do
        case "$a" in
        @answers=*) a=${a#@answers=}
            if [ "$platform" = wine ]; then printf '%s\n' "--answers=$(zsrc)\\${a//\//\\}"; else printf '%s\n' "--answers=$src/$a"; fi ;;
        @log=*) a=${a#@log=}
            if [ "$platform" = wine ]; then printf '%s\n' "--log=Z:${a//\//\\}"; else printf '%s\n' "--log=$a"; fi ;;
        *) printf '%s\n' "$a" ;;
        esac
    done
}
run_setup() {
    local script=$1
    shift
    local -a args
    mapfile -t args < <(args_of "$@")
    if [ "$platform" = wine ]; then
        "$WINE64" "$setup_exe" "$(zsrc)\\${script//\//\\}" --unattended "${args[@]}" \
            </dev/null >"$case_dir/out" 2>"$case_dir/err"
        rc=$?
        wineserver -w >/dev/null 2>&1
    else
        "${native[@]}" "$src/$script" --unattended "${args[@]}" </dev/null >"$case_dir/out" 2>"$case_dir/err"
        rc=$?
    fi
}
machine_state() { # machine_state FILE
    if [ "$platform" = wine ]; then
        e2e_tree_state "$1" "$WINEPREFIX/drive_c"
        e2e_wine_registry_state "$case_dir/registry" "$case_dir"
        grep -qi '^\[HKEY_LOCAL_MACHINE\\SOFTWARE' "$case_dir/registry" ||
            fail "the registry export holds no HKEY_LOCAL_MACHINE\\Software: nothing to compare"
        cat "$case_dir/registry" >>"$1"
    else
        e2e_tree_state "$1" "$SETUP_ROOT"
    fi
}
start_native() {
    platform=native
    case_dir="$work/native/$1"
    rm -rf "$case_dir"
    mkdir -p "$case_dir"
    export SETUP_ROOT="$case_dir/root"
    "${native[@]}" "$case_dir/none.ins" --unattended >/dev/null 2>&1 # lays out the fresh root
    mkdir -p "$SETUP_ROOT/drive_c/Windows/System32"
    printf 'MZ' >"$SETUP_ROOT/drive_c/Windows/System32/notepad.exe"
}
start_wine() {
    platform=wine
    case_dir="$work/wine/$1"
    rm -rf "$case_dir"
    mkdir -p "$case_dir"
    export WINEPREFIX="$case_dir/prefix"
    cp -a "$work/prefix" "$WINEPREFIX"
}
stop_wine() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
}

# The compared log lines; a case may leave out the lines that name paths
# starting with $skip_prefix (its downloads).
TAGS='^(FILE|FOLDER|REG|LINK|DELETE|MOVE) '
compared_lines() { # compared_lines LOG
    tr -d '\r' <"$1" | grep -E "$TAGS" | {
        if [ -n "$skip_prefix" ]; then grep -viF -- " $skip_prefix" || true; else cat; fi
    }
}

# plan_then_run SCRIPT ARGS...: the plan, its checks, then the real run.
plan_then_run() {
    local plan_log="$case_dir/plan-$round.log" real_log="$case_dir/real-$round.log" plan_rc
    rm -f "$plan_log" "$real_log"
    machine_state "$case_dir/state-before"
    run_setup "$@" --plan "@log=$plan_log"
    plan_rc=$rc
    machine_state "$case_dir/state-after"
    checks=$((checks + 1))
    if [ "$plan_rc" = 2 ] && grep -qiE -- 'unbekannte option|unknown option|--plan' "$case_dir/err" "$case_dir/out"; then
        fail "the program rejects --plan as an unknown option (exit status 2): $(tr -d '\r' <"$case_dir/err" | head -1)"
        rejected=1
        return
    fi
    if ! diff "$case_dir/state-before" "$case_dir/state-after" >"$case_dir/state.diff"; then
        fail "the plan changed the machine: $(grep '^[<>]' "$case_dir/state.diff" | head -8 | tr '\n' ' ')"
    fi
    checks=$((checks + 1))
    if [ ! -f "$plan_log" ]; then
        fail "the plan wrote no log"
    else
        grep -qE '^START .* \| plan$' <(tr -d '\r' <"$plan_log") ||
            fail "the plan log's START line does not end in \" | plan\": $(tr -d '\r' <"$plan_log" | grep -m1 '^START')"
    fi
    run_setup "$@" "@log=$real_log"
    checks=$((checks + 1))
    [ "$plan_rc" = "$rc" ] || fail "the plan's exit status is $plan_rc, the run's $rc"
    checks=$((checks + 1))
    compared_lines "$plan_log" >"$case_dir/plan-$round.lines" 2>/dev/null
    compared_lines "$real_log" >"$case_dir/real-$round.lines" 2>/dev/null
    if ! diff -u "$case_dir/plan-$round.lines" "$case_dir/real-$round.lines" >"$case_dir/lines.diff"; then
        fail "the plan's lines differ from the run's (--- plan, +++ run):"
        grep '^[-+][^-+]' "$case_dir/lines.diff" | head -20 >&2
    elif [ ! -s "$case_dir/real-$round.lines" ]; then
        fail "the run logged none of the compared lines: nothing was compared"
    fi
}

# ---------------------------------------------------------------------------
# The cases: earlier runs (prepare_CASE, optional) and the planned run.
skip_prefix=
prepare_app_update() {
    run_setup app/install.ins
    local t="$drive/Program Files/Qorv/Notiz"
    printf 'Breite=800\r\n' >>"$t/bin/notiz.ini"
    touch -d '2025-01-01 12:00:00' "$t/bin/notiz.bat"
    chmod u+w "$t/vorlagen/brief.ntz" && printf 'alt\r\n' >"$t/vorlagen/brief.ntz" &&
        touch -d '2020-01-01 00:00:00' "$t/vorlagen/brief.ntz" && chmod a-w "$t/vorlagen/brief.ntz"
}
args_app() { echo app/install.ins; }
args_app_update() { printf '%s\n' app/install.ins @answers=scenarios/app_update.answers; }
prepare_fonts_cleanup() { run_setup fonts-cleanup/v1/install.ins '--dir=C:\Qorv\Schriften'; }
args_fonts_cleanup() { printf '%s\n' fonts-cleanup/install.ins '--dir=C:\Qorv\Schriften' @answers=fonts-cleanup/answers.txt; }
args_web_subproject() { printf '%s\n' web-subproject/install.ins @answers=web-subproject/answers.txt; }
prepare_diagnose() { run_setup scenarios/diagnose/an.ins '--dir=C:\Szenario\DiagnoseAn'; }
args_diagnose() { printf '%s\n' scenarios/diagnose/lauf.ins '--dir=C:\Szenario\Diagnose'; }
cases=(app app_update fonts_cleanup web_subproject diagnose)
for f in "$scenarios"/*.ins; do
    [ -e "$f" ] || continue
    name=$(basename "$f" .ins)
    eval "args_$name() { printf '%s\n' scenarios/$name.ins '--dir=C:\\Szenario\\$name'; [ -f \"$scenarios/$name.answers\" ] && echo @answers=scenarios/$name.answers; true; }"
    cases+=("$name")
done

# PLAN_E2E_CASES="a b" runs only those cases (while working on one).
if [ -n "${PLAN_E2E_CASES:-}" ]; then read -r -a cases <<<"$PLAN_E2E_CASES"; fi

one_case() { # one_case NAME: both rounds on the current platform
    case_name=$1
    skip_prefix=
    [ "$1" = web_subproject ] && skip_prefix='C:\Program Files\Qorv\Atlas\aktuell'
    round=prepare
    if declare -F "prepare_$1" >/dev/null; then "prepare_$1"; fi
    local -a a
    mapfile -t a < <("args_$1")
    round=fresh
    plan_then_run "${a[@]}"
    [ "$rejected" = 1 ] && return
    round=again
    plan_then_run "${a[@]}"
}

native_half() {
    failures=0
    checks=0
    rejected=0
    local c
    for c in "${cases[@]}"; do
        start_native "$c"
        drive="$SETUP_ROOT/drive_c"
        one_case "$c"
        [ "$rejected" = 1 ] && break
        echo "native $c: planned and run twice"
    done
}

# ---------------------------------------------------------------------------
# The stand-in for the self-test: "installs" by writing a file and logging
# FILE lines; FAKE_MODE spoils it in one way.
fake_setup() {
    local a script='' log='' plan=0
    for a in "$@"; do
        case "$a" in
        --plan) plan=1 ;;
        --log=*) log=${a#--log=} ;;
        --*) ;;
        *) script=$a ;;
        esac
    done
    if [ "$plan" = 1 ] && [ "$FAKE_MODE" = reject ]; then
        echo "Unbekannte Option: --plan" >&2
        return 2
    fi
    mkdir -p "$SETUP_ROOT/drive_c/Windows/System32"
    [ -f "$SETUP_ROOT/registry.reg" ] || printf 'REGEDIT4\r\n' >"$SETUP_ROOT/registry.reg"
    [ -f "$script" ] || return 2
    local name target state
    name=$(basename "$(dirname "$script")")-$(basename "$script" .ins)
    target="$SETUP_ROOT/drive_c/Fake/$name"
    state=3
    [ -f "$target/x.txt" ] && state=2
    {
        printf 'START 1.0 | %s%s\n' "$script" "$([ "$plan" = 1 ] && [ "$FAKE_MODE" != start ] && echo ' | plan')"
        [ "$state" = 3 ] && printf 'FOLDER C:\\Fake\\%s\\\n' "$name"
        printf 'FILE %s | C:\\Fake\\%s\\x.txt\n' "$state" "$name"
        if [ "$plan" = 1 ] && [ "$FAKE_MODE" = lines ]; then printf 'FILE 3 | C:\\Fake\\%s\\y.txt\n' "$name"; fi
        printf 'REG HKEY_CURRENT_USER | Software\\Fake | %s | REG_SZ | 1\n' "$name"
        printf 'RESULT 1 | 0\n'
    } >"${log:-/dev/null}"
    if [ "$plan" = 1 ]; then
        case "$FAKE_MODE" in
        writes) mkdir -p "$target" && : >"$target/plan.txt" ;;
        touch) touch "$SETUP_ROOT/registry.reg" ;;
        rc) return 1 ;;
        esac
        return 0
    fi
    mkdir -p "$target" && [ -f "$target/x.txt" ] || echo x >"$target/x.txt"
    printf '"%s"="1"\r\n' "$name" >>"$SETUP_ROOT/registry.reg"
    return 0
}

self_test() {
    native=(fake_setup)
    cases=(app teilweise) # the stand-in does the same for every case
    stage
    e2e_self_test "plan e2e" native_half "ok|" "reject|rejects --plan as an unknown option" \
        "writes|the plan changed the machine" "touch|the plan changed the machine" \
        "start|does not end in" "lines|differ from the run's" "rc|exit status is 1, the run's 0"
}

if [ "${1:-}" = --self-test ]; then
    self_test
    exit
fi

# ---------------------------------------------------------------------------
if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD... | --self-test" >&2
    exit 2
fi
native=()
setup_exe=
for b in "$@"; do
    b=$(cd "$b" && pwd) || exit 2
    if [ -x "$b/setup" ]; then
        native=("$b/setup")
    elif [ -f "$b/Setup.exe" ]; then
        setup_exe="$b/Setup.exe"
    else
        echo "plan e2e: no setup or Setup.exe in $b" >&2
        exit 2
    fi
done
stage

total_failures=0
total_checks=0
if [ ${#native[@]} -gt 0 ]; then
    echo "=== native: ${#cases[@]} cases"
    native_half
    total_failures=$failures
    total_checks=$checks
fi

wine_skip=
if [ -z "$setup_exe" ]; then
    wine_skip="no Setup.exe (give a built win64 folder)"
elif [ ! -x "$WINE64" ] || ! command -v wineserver >/dev/null 2>&1; then
    wine_skip="the Wine half needs wine64, which is not installed ($WINE64)"
fi
if [ -z "$wine_skip" ]; then
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
    export WINEPREFIX="$work/prefix"
    "$WINE64" wineboot -i >/dev/null 2>&1 || wine_skip="the Wine prefix could not be made"
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
fi
if [ -n "$wine_skip" ]; then
    echo "=== wine64: SKIPPED: $wine_skip"
else
    echo "=== wine64: ${#cases[@]} cases"
    failures=0
    checks=0
    rejected=0
    for c in "${cases[@]}"; do
        start_wine "$c"
        drive="$WINEPREFIX/drive_c"
        one_case "$c"
        stop_wine
        [ "$rejected" = 1 ] && break
        echo "wine64 $c: planned and run twice"
    done
    total_failures=$((total_failures + failures))
    total_checks=$((total_checks + checks))
fi

echo "plan e2e: ${#cases[@]} cases, $total_checks checks, $total_failures failed"
[ "$total_failures" = 0 ]

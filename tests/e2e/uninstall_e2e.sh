#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# End-to-end uninstalling: an example installed and uninstalled leaves the
# machine as it was before the installation.
#
#   tests/e2e/uninstall_e2e.sh BUILD_NATIVE
#   tests/e2e/uninstall_e2e.sh --wine BUILD_WIN64
#
# Native build, on a fresh emulated Windows each case (the root's state: every
# file with size, time and contents, the registry value by value; folder
# times and the registry's lock file left out):
#   - examples/app installed, then uninstalled by the copy of the program that
#     the example installs (its default folder is its own): as before;
#   - an association and a value that existed before, an installation over an
#     earlier one, uninstall: both come back;
#   - a file the user changed after installing is kept (exit 3), with
#     Deinst.ins; the rest is gone;
#   - No to the question (exit 1), no Deinst.ins (exit 2), a garbage
#     Deinst.ins (exit 2): nothing changes;
#   - kill -9 at random moments of an installation, then --uninstall:
#     nothing of it is left.
# --wine: the win64 Setup.exe under wine64 (skipped with a message where
# Wine or Setup.exe is missing): examples/app with Setup.exe beside its script installed, then
# the UninstallString it registered run as Windows runs it (plus /S): drive_c
# and a registry export as before, apart from what Wine changes itself.
set -u

native_build=
win_build=
case "${1:-} $#" in
"--wine 2") win_build=$(cd "$2" && pwd) || exit 2 ;;
--wine*) echo "usage: $0 BUILD_NATIVE | --wine BUILD_WIN64" >&2; exit 2 ;;
*" 1") native_build=$(cd "$1" && pwd) || exit 2 ;;
*) echo "usage: $0 BUILD_NATIVE | --wine BUILD_WIN64" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib/common.sh
. "$here/lib/common.sh"
# shellcheck source=lib/wine.sh
. "$here/lib/wine.sh"
setup_native="$native_build/setup"
if [ -n "$native_build" ] && [ ! -x "$setup_native" ]; then
    echo "uninstall e2e: no native setup in $native_build" >&2
    exit 2
fi
python=$(command -v /usr/bin/python3 || command -v python3)
export SETUP_LANG=DEU
export TZ=${SETUP_E2E_TZ:-UTC}
e2e_scratch setup-uninstall-e2e
KILL_ROUNDS=${SETUP_E2E_KILL_ROUNDS:-20}

# The state of an emulated root or a Wine prefix as sorted lines.
state_py="$work/state.py"
cat >"$state_py" <<'EOF'
import hashlib, os, re, sys

def files(root, skip):
    out = []
    for base, dirs, names in os.walk(root):
        rel_base = os.path.relpath(base, root)
        dirs[:] = [d for d in dirs if not any(re.fullmatch(s, os.path.normpath(os.path.join(rel_base, d)), re.I) for s in skip)]
        for d in dirs:
            out.append('dir %s' % os.path.normpath(os.path.join(rel_base, d)))
        for n in names:
            rel = os.path.normpath(os.path.join(rel_base, n))
            if any(re.fullmatch(s, rel, re.I) for s in skip):
                continue
            p = os.path.join(base, n)
            st = os.lstat(p)
            if os.path.islink(p):
                out.append('link %s | %s' % (rel, os.readlink(p)))
                continue
            with open(p, 'rb') as f:
                digest = hashlib.sha1(f.read()).hexdigest()
            out.append('file %s | %d | %d | %s' % (rel, st.st_size, st.st_mtime_ns, digest))
    return out

def registry(path, skip):
    # REGEDIT4 or regedit 5 text: one line per value with its key.
    out = []
    try:
        raw = open(path, 'rb').read()
    except OSError:
        return ['registry missing']
    text = raw.decode('utf-16') if raw[:2] == b'\xff\xfe' else raw.decode('cp1252')
    key = None
    pending = ''
    for line in text.replace('\r\n', '\n').split('\n'):
        if pending:
            line = pending + line.strip()
            pending = ''
        if line.endswith('\\') and not line.startswith('['):
            pending = line[:-1]
            continue
        if line.startswith('['):
            key = line[1:line.index(']')].lower()
            # A key is there with its subkeys, written out or not.
            parts = key.split('\\')
            for n in range(2, len(parts) + 1):
                k = '\\'.join(parts[:n])
                if not any(re.match(s, k, re.I) for s in skip):
                    out.append('key %s' % k)
        elif line and key and not line.startswith(';') and not any(re.match(s, key, re.I) for s in skip):
            out.append('value %s | %s' % (key, line))
    return out

mode, root = sys.argv[1], sys.argv[2]
if mode == 'native':
    lines = files(root, [r'registry\.(reg|lock)'])
    lines += registry(os.path.join(root, 'registry.reg'), [])
else:
    skip = [r'windows', r'users/[^/]+/temp', r'users/[^/]+/AppData', r'programdata/microsoft/windows/start menu/programs/(administrative tools|startup)?']
    lines = files(os.path.join(root, 'drive_c'), skip)
    for reg in sys.argv[3:]:
        lines += registry(reg, [r'.*\\(mounteddevices|wine|windows nt\\currentversion\\(perflib|profilelist|winlogon))', r'.*\\explorer\\(recentdocs|mountpoints2)', r'.*\\microsoft\\windows\\currentversion\\(installer|run)'])
print('\n'.join(sorted(set(lines))))
EOF

native_state() { "$python" "$state_py" native "$SETUP_ROOT" >"$1"; }
same_state() { # same_state DESCRIPTION BEFORE AFTER
    checks=$((checks + 1))
    if ! diff "$2" "$3" >"$work/state.diff"; then
        fail "$1: $(grep '^[<>]' "$work/state.diff" | head -12 | tr '\n' ' ')"
    fi
}

# A fresh emulated Windows with the example staged, setup beside its script.
src="$work/src"
bash "$source_dir/examples/app/stage.sh" "$src/app" >/dev/null || exit 1
target_native() { printf '%s' "$drive/Program Files/Qorv/Notiz"; }
fresh_native() {
    current=$1
    e2e_fresh_root "$work/$1/root" "$setup_native"
    mkdir -p "$drive/Windows/System32"
    printf 'MZ' >"$drive/Windows/System32/notepad.exe"
    # HKEY_CLASSES_ROOT is there on every Windows; a fresh emulated registry
    # makes its key only with the first value below it.
    printf '[HKEY_LOCAL_MACHINE\\Software\\Classes]\r\n\r\n' >>"$SETUP_ROOT/registry.reg"
    cp "$setup_native" "$src/app/Setup.exe"
    log="$work/$1/uninstall.log"
}
install_app() { # install_app [ARGS...]
    e2e_run "$setup_native" "$src/app/install.ins" --unattended "$@"
    expect_rc 0
}
uninstall() { # uninstall ARGS...: the installed copy of the program, unattended
    # Copied as a Windows file, without the Linux execute bit.
    chmod +x "$(target_native)/Setup.exe" 2>/dev/null
    e2e_run "$(target_native)/Setup.exe" --uninstall --unattended --log="$log" "$@"
}

# The undo lines of a log, in order.
undo_lines() { grep -E '^(DELETE|UNREG|RESTORE|FILE) ' "$1" | tr -d '\r'; }
# uninstall, after a plan of it (--plan --uninstall) that must change nothing,
# end with the same status and log the same DELETE/UNREG/RESTORE/FILE lines.
planned_uninstall() {
    chmod +x "$(target_native)/Setup.exe" 2>/dev/null
    native_state "$work/planned-before"
    e2e_run "$(target_native)/Setup.exe" --uninstall --plan --log="$log.plan" "$@"
    local planned=$rc
    native_state "$work/planned-after"
    same_state "the machine after --plan --uninstall" "$work/planned-before" "$work/planned-after"
    check "the plan's START line says so" grep -q '^START .* | uninstall | plan' "$log.plan"
    uninstall "$@"
    checks=$((checks + 1))
    [ "$planned" = "$rc" ] || fail "--plan --uninstall ended with $planned, the uninstall with $rc"
    checks=$((checks + 1))
    if ! diff <(undo_lines "$log.plan") <(undo_lines "$log") >"$work/undo.diff"; then
        fail "the plan's undo lines differ from the uninstall's: $(head -8 "$work/undo.diff" | tr '\n' ' ')"
    fi
}

# --- native -------------------------------------------------------------------

case_round_trip() {
    fresh_native round_trip
    native_state "$work/before"
    install_app
    check "the example installed its uninstaller" test -f "$(target_native)/Setup.exe"
    uninstall
    expect_rc 0
    expect_log "DELETE C:\\Program Files\\Qorv\\Notiz\\bin\\notiz.bat"
    expect_log "UNREG HKEY_LOCAL_MACHINE | SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Qorv Notiz | UninstallString"
    expect_log "START"
    native_state "$work/after"
    same_state "the machine after install and uninstall" "$work/before" "$work/after"
}

case_over_earlier() {
    fresh_native over_earlier
    printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\.ntz\\shell\\open\\command]\r\n@="alt.exe \\"%%1\\""\r\n\r\n[HKEY_CURRENT_USER\\Software\\Qorv\\Notiz\\Fenster]\r\n"Breite"=dword:00000320\r\n"Eigen"="bleibt"\r\n\r\n' \
        >>"$SETUP_ROOT/registry.reg"
    native_state "$work/before"
    install_app
    touch -d '2024-07-01 10:00:00' "$src/app/doc/handbuch.txt"
    install_app
    touch -d '2024-06-01 10:00:00' "$src/app/doc/handbuch.txt"
    planned_uninstall
    expect_rc 0
    expect_log "RESTORE HKEY_CLASSES_ROOT\\.ntz\\shell\\open\\command\\ | alt.exe \"%1\""
    native_state "$work/after"
    same_state "values from before the first installation" "$work/before" "$work/after"
}

case_changed_file() {
    fresh_native changed_file
    install_app
    local t
    t=$(target_native)
    printf 'meine Notizen\r\n' >>"$t/handbuch.txt"
    planned_uninstall
    expect_rc 3
    check "the changed file is kept" test -f "$t/handbuch.txt"
    check "Deinst.ins is kept" test -f "$t/Deinst.ins"
    check "the unchanged files are gone" test ! -e "$t/lizenz.txt" -a ! -e "$t/bin/notiz.bat"
    expect_log "FILE 2 | C:\\Program Files\\Qorv\\Notiz\\handbuch.txt"
    check "standard error names the kept file" grep -q 'handbuch.txt' "$work/err"
}

case_no_and_no_record() {
    fresh_native no_and_no_record
    install_app
    native_state "$work/installed"
    printf 'entfernen? => No\n' >"$work/no.answers"
    uninstall --answers="$work/no.answers"
    expect_rc 1
    native_state "$work/after"
    same_state "No to the question" "$work/installed" "$work/after"

    e2e_run "$setup_native" --uninstall="$drive/Program Files/Qorv" --unattended
    expect_rc 2
    e2e_run "$setup_native" '--uninstall=C:\Nirgends' --unattended
    expect_rc 2

    head -c 3000 /dev/urandom >"$(target_native)/Deinst.ins"
    native_state "$work/installed"
    uninstall
    expect_rc 2
    native_state "$work/after"
    same_state "a garbage Deinst.ins" "$work/installed" "$work/after"

    e2e_run "$setup_native" extra.ins --uninstall
    expect_rc 2
}

# kill -9 while installing, then uninstall: nothing of that run is left.
case_killed() {
    fresh_native killed
    native_state "$work/before"
    local round pid delay before_record=0
    for round in $(seq "$KILL_ROUNDS"); do
        current="killed round $round"
        "$setup_native" "$src/app/install.ins" --unattended </dev/null >/dev/null 2>&1 &
        pid=$!
        # A moment within the run (about half a second from the start).
        delay=$((RANDOM % 600))
        sleep "$(printf '0.%03d' "$delay")"
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        if [ -f "$(target_native)/Deinst.ins" ]; then
            e2e_run "$setup_native" --uninstall="$(target_native)" --unattended --log="$work/killed.log"
            checks=$((checks + 1))
            [ "$rc" = 0 ] || fail "uninstall after kill at ${delay} ms: exit status $rc: $(tr -d '\r' <"$work/err" | head -3)"
        else
            # Killed while the target folder was being made: the record
            # lives inside it and cannot name the folders made before it.
            # Those (empty) folders are all that may be left.
            rmdir "$(target_native)" "$(dirname "$(target_native)")" 2>/dev/null
            before_record=$((before_record + 1))
        fi
        native_state "$work/after"
        same_state "uninstall after a kill at ${delay} ms" "$work/before" "$work/after"
        [ -s "$work/state.diff" ] && break
    done
    echo "uninstall e2e: $round kills, $before_record before the record existed"
}

# --- wine64 -------------------------------------------------------------------

wine_state() { # wine_state FILE
    local k n=0 regs=()
    for k in 'HKEY_LOCAL_MACHINE\Software' 'HKEY_CURRENT_USER\Software' 'HKEY_CLASSES_ROOT'; do
        n=$((n + 1))
        "$WINE64" regedit /E "Z:${work//\//\\}\\export$n.reg" "$k" >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
        regs+=("$work/export$n.reg")
    done
    "$python" "$state_py" wine "$WINEPREFIX" "${regs[@]}" >"$1"
}

case_wine_uninstall_string() {
    current=wine_uninstall_string
    if [ -z "$win_build" ] || [ ! -f "$win_build/Setup.exe" ] || ! e2e_have_wine; then
        echo "uninstall e2e: wine64 half skipped (wine64 or Setup.exe missing)"
        return
    fi
    e2e_wine_env
    e2e_wine_prefix "$work/prefix" || { fail "Wine cannot make a prefix"; return; }
    mkdir -p "$WINEPREFIX/drive_c/Program Files"
    bash "$source_dir/examples/app/stage.sh" "$src/wapp" >/dev/null || exit 1
    cp "$win_build/Setup.exe" "$src/wapp/Setup.exe"
    wine_state "$work/wine-before"
    e2e_run "$WINE64" "$src/wapp/Setup.exe" "Z:${src//\//\\}\\wapp\\install.ins" /S
    wineserver -w >/dev/null 2>&1
    expect_rc 0
    local key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Qorv Notiz' command
    command=$("$WINE64" reg query "$key" /v UninstallString 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *UninstallString *REG_SZ *//p')
    checks=$((checks + 1))
    [ "$command" = '"C:\Program Files\Qorv\Notiz\Setup.exe" /uninstall' ] ||
        fail "UninstallString is [$command]"
    # As Windows starts it: the quoted program, its arguments; unattended.
    log="$work/wine-uninstall.log"
    local program rest
    program=${command#\"}
    program=${program%%\"*}
    read -r -a rest <<<"${command#\""$program"\"}"
    e2e_run "$WINE64" "$program" "${rest[@]}" /S "/LOG=Z:${log//\//\\}"
    wineserver -w >/dev/null 2>&1
    expect_rc 0
    check "the uninstall log was written" test -s "$log"
    # Removed although the program was started from it (and waits there).
    expect_log "DELETE C:\\Program Files\\Qorv\\Notiz\\Setup.exe"
    check "the installation folder is gone" test ! -e "$WINEPREFIX/drive_c/Program Files/Qorv"
    wine_state "$work/wine-after"
    same_state "drive_c and the registry after install and uninstall (Wine)" \
        "$work/wine-before" "$work/wine-after"
    e2e_wine_stop
}

if [ -n "$native_build" ]; then
    case_round_trip
    case_over_earlier
    case_changed_file
    case_no_and_no_record
    case_killed
else
    case_wine_uninstall_string
fi

echo "uninstall e2e: $checks checks, $failures failures"
[ "$failures" -eq 0 ]

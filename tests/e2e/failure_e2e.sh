#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# End-to-end failure paths of an installation: Cancel (Ctrl-C, SIGTERM,
# SIGHUP) during a large copy, a failed part answered No, a read-only
# destination file, a full disk (the file-size limit of `ulimit -f`), a run
# killed with SIGKILL followed by a run that completes, and 40 kills at random
# moments of an installation of many files over an older one. Each time the previous files must be intact, no
# temporary file may be left, the exit status must say what happened, and
# registry.reg and Deinst.ins must still parse.
#
#   tests/e2e/failure_e2e.sh BUILD_NATIVE [BUILD_WIN64]
#
# The native build runs every case. With BUILD_WIN64 the cases driven by an
# answers file (failed part, read-only destination) run again with Setup.exe
# under wine64; that half says SKIPPED when wine64 is missing or Setup.exe
# does not install yet.
set -u

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 BUILD_NATIVE [BUILD_WIN64]" >&2
    exit 2
fi
native=$(cd "$1" && pwd)/setup
[ -x "$native" ] || { echo "failure e2e: no native setup in $1" >&2; exit 2; }
win_exe=
[ $# -eq 2 ] && [ -f "$2/Setup.exe" ] && win_exe=$(cd "$2" && pwd)/Setup.exe
# shellcheck source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
# shellcheck source=lib/wine.sh
. "$(dirname "$0")/lib/wine.sh"

# The expected texts are the German ones, whatever language the user has.
export SETUP_LANG=DEU
e2e_scratch setup-failure-e2e
pid=
kill_run() { [ -z "$pid" ] || kill -9 "$pid" 2>/dev/null; }
e2e_at_exit kill_run
t_start=$SECONDS

crlf() { printf '%s\r\n' "$@"; }

# Both files the installer keeps must parse: the registry as REGEDIT4 text,
# Deinst.ins as sections of key=value lines.
parses() { # parses REGISTRY.REG [DEINST.INS]
    python3 - "$@" <<'PY'
import re, sys
reg = open(sys.argv[1], 'rb').read().decode('cp1252')
lines = reg.split('\r\n')
ok = lines[0] == 'REGEDIT4' and reg.endswith('\r\n')
for line in lines[1:]:
    if not (line == '' or re.fullmatch(r'\[[^\]]+\]', line) or
            re.fullmatch(r'(@|"(?:[^"\\]|\\.)*")=("(?:[^"\\]|\\.)*"|dword:[0-9a-f]{8})', line)):
        print('registry.reg: bad line: %r' % line); ok = False
if len(sys.argv) > 2:
    ini = open(sys.argv[2], 'rb').read().decode('cp1252')
    if not ini.endswith('\r\n'):
        print('Deinst.ins: no line end at its end'); ok = False
    for line in ini.split('\r\n'):
        if not (line == '' or re.fullmatch(r'\[[^\]]+\]', line) or re.fullmatch(r'[^=\[][^=]*=.+', line)):
            print('Deinst.ins: bad line: %r' % line); ok = False
sys.exit(0 if ok else 1)
PY
}
no_temp_files() { # no_temp_files FOLDER: no temporary copy is left behind
    local left
    left=$(find "$1" -name '~setup*' -o -name '*.tmp' -o -name 'registry.reg.*' -o -name '*.new' \
        2>/dev/null | head -3)
    [ -z "$left" ] || { echo "left behind: $left" >&2; return 1; }
}

# A fresh emulated Windows for one case.
fresh_root() {
    e2e_fresh_root "$work/root-$1"
    log="$work/log-$1.txt"
}
run_native() { # run_native ARGS...: unattended, stdin closed; sets rc
    rm -f "$log"
    e2e_run "$native" --unattended --log="$log" "$@"
}

# ---------------------------------------------------------------------------
# A project with a large file between two small ones, and its older version
# already installed: a Cancel or a kill during the large copy must leave the
# older file as it was.
big="$work/gross"
mkdir -p "$big/v1/daten" "$big/v2/daten"
for v in v1 v2; do
    crlf '[Project]' "Name=Gross" 'talk=1' 'Part1=Daten' '[Daten]' 'Dir=daten' \
        'File1=eins.txt' 'File2=gross.dat' 'File3=zwei.txt' 'Icon=-' >"$big/$v/install.ins"
    echo "eins $v" >"$big/$v/daten/eins.txt"
    echo "zwei $v" >"$big/$v/daten/zwei.txt"
done
echo "alt" >"$big/v1/daten/gross.dat"
touch -d '2020-01-01 00:00:00' "$big"/v1/daten/*
head -c $((512 * 1024 * 1024)) /dev/zero >"$big/v2/daten/gross.dat"
target_big='C:\Gross'

# start_big: the large copy in the background; returns once it is under way
# (the file before it is logged), with pid set.
start_big() {
    rm -f "$log"
    "$native" "$big/v2/install.ins" --unattended --dir="$target_big" --log="$log" \
        </dev/null >"$work/out" 2>"$work/err" &
    pid=$!
    for _ in $(seq 500); do
        grep -q 'FILE 3 | C:\\Gross\\daten\\eins.txt' "$log" 2>/dev/null && break
        sleep 0.01
    done
    sleep 0.05
}
big_copy_finished() { grep -q 'FILE 3 | C:\\Gross\\daten\\gross.dat' "$log"; }

current="Cancel (Ctrl-C) during a large copy"
fresh_root cancel
run_native "$big/v1/install.ins" --dir="$target_big"
expect_rc 0
start_big
kill -INT "$pid"
wait "$pid"
rc=$?
pid=
if big_copy_finished; then
    echo "SKIPPED: $current: the large copy ended before the Cancel arrived"
else
    expect_rc 1
    check "the previous gross.dat is intact" cmp -s "$big/v1/daten/gross.dat" "$drive/Gross/daten/gross.dat"
    check "the file after the cancelled one is not copied" cmp -s "$big/v1/daten/zwei.txt" "$drive/Gross/daten/zwei.txt"
    check "no temporary file" no_temp_files "$drive/Gross"
    check "registry.reg and Deinst.ins parse" parses "$SETUP_ROOT/registry.reg" "$drive/Gross/Deinst.ins"
    expect_log "RESULT 2 | 1"
fi

current="SIGKILL during a large copy, then a run that completes"
fresh_root kill
run_native "$big/v1/install.ins" --dir="$target_big"
start_big
kill -9 "$pid"
wait "$pid" 2>/dev/null
pid=
if big_copy_finished; then
    echo "SKIPPED: $current: the large copy ended before the kill"
else
    check "the previous gross.dat is intact after the kill" cmp -s "$big/v1/daten/gross.dat" "$drive/Gross/daten/gross.dat"
    check "registry.reg parses after the kill" parses "$SETUP_ROOT/registry.reg"
fi
run_native "$big/v2/install.ins" --dir="$target_big"
expect_rc 0
check "the second run copies gross.dat whole" cmp -s "$big/v2/daten/gross.dat" "$drive/Gross/daten/gross.dat"
check "the second run copies zwei.txt" cmp -s "$big/v2/daten/zwei.txt" "$drive/Gross/daten/zwei.txt"
check "registry.reg and Deinst.ins parse after the second run" parses "$SETUP_ROOT/registry.reg" "$drive/Gross/Deinst.ins"
for sig in TERM HUP; do
    current="SIG$sig during a large copy cancels like Ctrl-C"
    fresh_root "sig$sig"
    run_native "$big/v1/install.ins" --dir="$target_big"
    start_big
    kill -"$sig" "$pid"
    wait "$pid"
    rc=$?
    pid=
    if big_copy_finished; then
        echo "SKIPPED: $current: the large copy ended before the signal arrived"
    else
        expect_rc 1
        check "the previous gross.dat is intact" cmp -s "$big/v1/daten/gross.dat" "$drive/Gross/daten/gross.dat"
        check "no temporary file" no_temp_files "$SETUP_ROOT"
        check "registry.reg and Deinst.ins parse" parses "$SETUP_ROOT/registry.reg" "$drive/Gross/Deinst.ins"
        expect_log "RESULT 2 | 1"
    fi
done
rm -f "$big/v2/daten/gross.dat"

# ---------------------------------------------------------------------------
# Many files, registry lines and an uninstall entry installed over an older
# version, the run killed 40 times at random moments: every file of the older
# version is there, whole in the old or the new form; registry.reg and
# Deinst.ins always parse; a last run completes and leaves no temporary file
# (also none of the killed runs).
many="$work/viele"
for v in v1 v2; do
    mkdir -p "$many/$v/a" "$many/$v/b"
    {
        crlf '[Project]' "Name=Viele" 'talk=1' 'Part1=A' 'Part2=B' \
            '[A]' 'Dir=a' 'File1=*.txt' 'UnInst=%DIR%deinst.bat' 'Name=Viele' 'Icon=-'
        for n in $(seq 1 20); do crlf "RegisterX$n=U\\Software\\Qorv\\Viele\\Wert$n=#sz:$v $n"; done
        crlf '[B]' 'Dir=b' 'File1=*.txt' 'Icon=-'
    } >"$many/$v/install.ins"
    python3 - "$many/$v" "$v" <<'PY'
import os, sys
folder, version = sys.argv[1], sys.argv[2]
for part in ("a", "b"):
    for n in range(80):
        size = 5000 + (n * 7919) % 60000 + (1000 if version == "v2" else 0)
        line = ("%s %s %d " % (version, part, n)).encode()
        with open(os.path.join(folder, part, "f%03d.txt" % n), "wb") as f:
            f.write((line * (size // len(line) + 1))[:size])
PY
done
touch -d '2020-01-01 00:00:00' "$many"/v1/*/*.txt
current="40 kills at random moments of an installation over an older one"
fresh_root many
run_native "$many/v1/install.ins" --dir='C:\Viele'
expect_rc 0
# Whole in the old or the new form, for every file of the older version.
whole_files() {
    python3 - "$many" "$drive/Viele" <<'PY'
import os, sys
many, target = sys.argv[1], sys.argv[2]
bad = []
for part in ("a", "b"):
    for name in sorted(os.listdir(os.path.join(many, "v1", part))):
        path = os.path.join(target, part, name)
        data = open(path, "rb").read() if os.path.exists(path) else None
        if data not in [open(os.path.join(many, v, part, name), "rb").read() for v in ("v1", "v2")]:
            bad.append(path)
if bad:
    print("not whole: " + ", ".join(bad[:3]), file=sys.stderr)
sys.exit(1 if bad else 0)
PY
}
# The kills fall anywhere within most of the time of a whole run.
find "$drive/Viele" -name 'f*.txt' -exec touch -d '2020-01-01 00:00:00' {} +
started=$(date +%s%N)
run_native "$many/v2/install.ins" --dir='C:\Viele'
full_ms=$((($(date +%s%N) - started) / 1000000 + 1))
RANDOM=15
kills=0
for i in $(seq 1 40); do
    # Every file older than the new version again, so that each run copies all.
    find "$drive/Viele" -name 'f*.txt' -exec touch -d '2020-01-01 00:00:00' {} +
    rm -f "$log"
    "$native" "$many/v2/install.ins" --unattended --dir='C:\Viele' --log="$log" \
        </dev/null >"$work/out" 2>"$work/err" &
    pid=$!
    ms=$((RANDOM * full_ms * 4 / 5 / 32768))
    sleep "$((ms / 1000)).$(printf '%03d' $((ms % 1000)))"
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    pid=
    grep -q '^RESULT' "$log" 2>/dev/null || kills=$((kills + 1))
    check "kill $i: every older file is whole" whole_files
    check "kill $i: registry.reg parses" parses "$SETUP_ROOT/registry.reg"
    [ -f "$drive/Viele/Deinst.ins" ] &&
        check "kill $i: Deinst.ins parses" parses "$SETUP_ROOT/registry.reg" "$drive/Viele/Deinst.ins"
done
echo "kill -9 at random moments: $kills of 40 runs killed before their end"
run_native "$many/v2/install.ins" --dir='C:\Viele'
expect_rc 0
check "the last run installs the new version" diff -r "$many/v2/a" "$drive/Viele/a"
check "the last run installs part B" diff -r "$many/v2/b" "$drive/Viele/b"
check "registry.reg and Deinst.ins parse after the last run" parses "$SETUP_ROOT/registry.reg" "$drive/Viele/Deinst.ins"
check "no temporary file after the last run" no_temp_files "$SETUP_ROOT"

# ---------------------------------------------------------------------------
# Small projects whose copies fail: answered through answers files, so that
# they can run on both platforms.
small="$work/klein"
mkdir -p "$small/eins" "$small/zwei"
crlf '[Project]' 'Name=Teilfehler' 'talk=1' 'Part1=Eins' 'Part2=Zwei' \
    '[Eins]' 'Dir=eins' 'File1=fehlt.txt' 'File2=da.txt' \
    '[Zwei]' 'Dir=zwei' 'File1=zwei.txt' 'Icon=-' >"$small/teil.ins"
echo "da" >"$small/eins/da.txt"
echo "zwei" >"$small/zwei/zwei.txt"
crlf '# The failed part: do not go on.' 'Weiter? => No' >"$small/nein.answers"
crlf '[Project]' 'Name=Schreibschutz' 'talk=1' 'Part1=Eins' \
    '[Eins]' 'Dir=eins' 'File1=da.txt' 'Icon=-' >"$small/schutz.ins"
mkdir -p "$small/voll"
head -c 3000000 /dev/urandom >"$small/voll/gross.dat"
crlf '[Project]' 'Name=Voll' 'talk=1' 'Part1=Voll' \
    '[Voll]' 'Dir=voll' 'File1=gross.dat' 'Icon=-' >"$small/voll.ins"

# Each failure case as a function of the platform's runner: run SCRIPT
# TARGET [ANSWERS] and the Linux folder of drive C: in $drive.
case_failed_part() {
    run teil.ins 'C:\Teilfehler' nein.answers
    expect_rc 1
    expect_log "MSG WarnOkCancel | EINS: Anwendung nicht vollst"
    expect_log "MSG AskYesNo | Weiter? -> No (answers)"
    expect_log "MSG AskYesNoDefaultNo | Im Teil Eins ist ein Fehler aufgetreten.\\rSoll dennoch fortgesetzt werden? -> No (default)"
    expect_log "RESULT 2 | 1"
    check "the part's other file is copied" test -f "$drive/Teilfehler/eins/da.txt"
    check "the failed part has no shortcut" test -z "$(find "$drive/ProgramData" -iname 'EINS.LNK' 2>/dev/null)"
    check "the next part is not installed" test ! -e "$drive/Teilfehler/zwei/zwei.txt"
}
case_read_only() {
    run schutz.ins 'C:\Schutz'
    expect_rc 0
    local file="$drive/Schutz/eins/da.txt"
    printf 'vom Benutzer\r\n' >"$file"
    touch -d '2020-01-01 00:00:00' "$file"
    chmod a-w "$file" # the read-only attribute
    run schutz.ins 'C:\Schutz' nein.answers
    expect_rc 1
    expect_log "da.txt not copied"
    expect_log "RESULT 2 | 1"
    check "the read-only file is unchanged" grep -q 'vom Benutzer' "$file"
    check "no temporary file" no_temp_files "$drive/Schutz"
    # Going on (the default): installed, but without the file: exit status 3.
    run schutz.ins 'C:\Schutz'
    expect_rc 3
    expect_log "FILE 0 | C:\\Schutz\\eins\\da.txt"
    expect_log "RESULT 1 | 3"
    check "stderr tells why" grep -qF 'da.txt not copied -> OK (default)' "$work/err"
    check "the read-only file is still unchanged" grep -q 'vom Benutzer' "$file"
}

run() { # run SCRIPT TARGET [ANSWERS] on the emulated Windows
    local answers=()
    [ $# -ge 3 ] && answers=(--answers="$small/$3")
    run_native "$small/$1" --dir="$2" "${answers[@]}"
}
current="a failed part answered No"
fresh_root part
case_failed_part
check "registry.reg and Deinst.ins parse" parses "$SETUP_ROOT/registry.reg" "$drive/Teilfehler/Deinst.ins"
current="a read-only destination file"
fresh_root readonly
case_read_only

current="a full disk (ulimit -f)"
fresh_root full
mkdir -p "$drive/Voll/voll"
echo "vorher" >"$drive/Voll/voll/gross.dat"
touch -d '2020-01-01 00:00:00' "$drive/Voll/voll/gross.dat"
rm -f "$log"
(
    ulimit -f 1000 # blocks of 1024 bytes: less than the 3 MB file
    exec "$native" "$small/voll.ins" --unattended --dir='C:\Voll' --answers="$small/nein.answers" \
        --log="$log" </dev/null >"$work/out" 2>"$work/err"
)
rc=$?
expect_rc 1
expect_log "gross.dat nicht kopiert!"
check "the previous file is intact" grep -qx vorher "$drive/Voll/voll/gross.dat"
check "no temporary file" no_temp_files "$drive/Voll"
check "registry.reg and Deinst.ins parse" parses "$SETUP_ROOT/registry.reg" "$drive/Voll/Deinst.ins"

current="a [CheckRun] program that runs, the question answered No"
fresh_root checkrun
mkdir -p "$drive/Qorv"
cp "$(command -v sleep)" "$drive/Qorv/laeuft.exe"
"$drive/Qorv/laeuft.exe" 30 &
pid=$!
crlf '[Project]' 'Name=Laeuft' 'talk=1' 'Part1=Eins' '[CheckRun]' '1=C:\Qorv\LAEUFT.EXE' \
    '[Eins]' 'Dir=eins' 'File1=da.txt' 'Icon=-' >"$small/laeuft.ins"
crlf 'Erneut versuchen? => No' >"$small/laeuft.answers"
run_native "$small/laeuft.ins" --dir='C:\Laeuft' --answers="$small/laeuft.answers"
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
pid=
expect_rc 1
expect_log "MSG AskYesNo | Die Datei LAEUFT.EXE\rwird im Moment benutzt"
expect_log "-> No (answers)"
check "nothing is installed" test ! -e "$drive/Laeuft/eins/da.txt"

t_native=$((SECONDS - t_start))

# ---------------------------------------------------------------------------
# The answered cases once more with Setup.exe under wine64.
wine_skip=
if [ -z "$win_exe" ]; then
    wine_skip="no Setup.exe given"
elif ! e2e_have_wine; then
    wine_skip="wine64 is not installed"
fi
if [ -z "$wine_skip" ]; then
    e2e_wine_env
    # The installer window needs a display: a private virtual one.
    e2e_start_xvfb 161 200
    e2e_wine_prefix "$work/prefix" || wine_skip="the Wine prefix could not be made"
    drive="$WINEPREFIX/drive_c"
    log="$work/log-wine.txt"
    run() {
        local answers=()
        [ $# -ge 3 ] && answers=(--answers="$(zpath "$small/$3")")
        rm -f "$log"
        e2e_run "$WINE64" "$win_exe" "$(zpath "$small/$1")" --unattended --dir="$2" --log="$(zpath "$log")" \
            "${answers[@]}"
        wineserver -w >/dev/null 2>&1
    }
    if [ -z "$wine_skip" ]; then
        mkdir -p "$work/probe"
        crlf '[Project]' 'Name=Probe' 'talk=0' 'Part1=Teil' '[Teil]' 'File1=probe.txt' >"$work/probe/install.ins"
        echo probe >"$work/probe/probe.txt"
        "$WINE64" "$win_exe" "$(zpath "$work/probe/install.ins")" --unattended --dir='C:\Probe' \
            </dev/null >"$work/out" 2>&1
        [ -f "$drive/Probe/probe.txt" ] ||
            wine_skip="Setup.exe does not install yet under wine64 ($(head -c 200 "$work/out" | tr '\r\n' '  '))"
    fi
fi
if [ -n "$wine_skip" ]; then
    echo "=== wine64: SKIPPED: $wine_skip"
else
    current="a failed part answered No (wine64)"
    case_failed_part
    current="a read-only destination file (wine64)"
    case_read_only
fi

echo "failure e2e: $checks checks, $failures failed (native $t_native s, all $((SECONDS - t_start)) s)"
[ "$failures" = 0 ]

#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# End-to-end tests of the built program: command line, exit statuses, log and
# answers file, on real files.
#
#   tests/e2e/run.sh BUILD_DIR
#
# BUILD_DIR holds `setup` (native build) or `Setup.exe` (Windows build). A
# Windows build is run through the command prefix in SETUP_RUNNER, for example
#   SETUP_RUNNER=/usr/lib/wine/wine64 WINEPREFIX=/tmp/prefix WINEDEBUG=-all \
#     tests/e2e/run.sh build/win64
# Paths handed to a Windows build are written in their Z: form. The native
# build runs on a fresh emulated Windows (SETUP_ROOT) in a scratch folder.
set -u

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
# shellcheck source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"

read -r -a runner <<<"${SETUP_RUNNER:-}"
if [ -x "$build/setup" ]; then
    exe="$build/setup"
    windows=0
elif [ -f "$build/Setup.exe" ]; then
    exe="$build/Setup.exe"
    windows=1
    if [ ${#runner[@]} -eq 0 ]; then
        echo "$0: a Windows build needs SETUP_RUNNER (e.g. /usr/lib/wine/wine64)" >&2
        exit 2
    fi
else
    echo "$0: no setup or Setup.exe in $build" >&2
    exit 2
fi

e2e_scratch setup-e2e
e2e_fresh_root "$work/root"

# A path as it is given to the program under test.
path() {
    if [ "$windows" = 1 ]; then
        zpath "$1"
    else
        printf '%s' "$1"
    fi
}

# run ARGS...: runs the program with stdin from /dev/null; sets rc, out, err.
run() {
    e2e_run "${runner[@]}" "$exe" "$@"
    out=$(tr -d '\r' <"$work/out")
    err=$(tr -d '\r' <"$work/err")
}

# run_limited ARGS...: as run, ended after 20 seconds (exit status 124).
run_limited() {
    e2e_run timeout 20 "${runner[@]}" "$exe" "$@"
    out=$(tr -d '\r' <"$work/out")
    err=$(tr -d '\r' <"$work/err")
}

# expect_text NAME TEXT PATTERN: TEXT contains the fixed string PATTERN.
expect_text() {
    checks=$((checks + 1))
    grep -qF -- "$3" <<<"$2" || fail "$1 lacks \"$3\": $2"
}

# expect_log_line LINE: the log holds exactly this line.
expect_log_line() {
    checks=$((checks + 1))
    if [ ! -f "$work/log.txt" ]; then
        fail "no log written"
        return
    fi
    grep -qxF -- "$1" <(tr -d '\r' <"$work/log.txt") || fail "log lacks line \"$1\": $(cat "$work/log.txt")"
}

version=$(sed -n 's/^project(Setup VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
log=$(path "$work/log.txt")
missing=$(path "$work/fehlt/install.ins")
missing_z=$(zpath "$work/fehlt/install.ins")
hello=$(path "$source_dir/examples/hello/install.ins")
hello_z=$(zpath "$source_dir/examples/hello/install.ins")

current="--help"
run --help
expect_rc 0
expect_text stdout "$out" "Aufruf: setup"
expect_text stdout "$out" "--unattended"

for switch in -h -? /?; do
    current="help switch $switch"
    rm -f "$work/log.txt"
    run "$switch" "$hello" --unattended "--log=$log"
    expect_rc 0
    expect_text stdout "$out" "Aufruf: setup"
    checks=$((checks + 1))
    [ ! -e "$work/log.txt" ] || fail "a help switch started a run"
done

current="second script"
run "$hello" "$missing" --unattended
expect_rc 2
expect_text stderr "$err" "Nur ein Script kann angegeben werden"
expect_text stderr "$err" "Aufruf: setup"

current="unknown option"
run --x
expect_rc 2
expect_text stderr "$err" "Unbekannte Option: --x"
expect_text stderr "$err" "Aufruf: setup"

current="option without its value"
run --log
expect_rc 2
expect_text stderr "$err" "--log"

current="missing script, unattended"
rm -f "$work/log.txt"
run "$missing" --unattended "--log=$log"
expect_rc 2
expect_text stderr "$err" "Installationsscript nicht gefunden."
expect_log_line "START $version | $missing_z"
expect_log_line "MSG Plain | Installationsscript nicht gefunden.\\r\\n$missing_z -> OK (default)"
expect_log_line "RESULT 0 | 2"

current="installer switches"
rm -f "$work/log.txt"
run /VERYSILENT /SUPPRESSMSGBOXES "/D=$(path "$work/ziel")" "/LOG=$log" "$missing"
expect_rc 2
expect_log_line "MSG Plain | Installationsscript nicht gefunden.\\r\\n$missing_z -> OK (default)"
for switch in /S /SILENT /s; do
    rm -f "$work/log.txt"
    run "$switch" "/DIR=$(path "$work/ziel")" "--log=$log" "$missing"
    expect_rc 2
    expect_log_line "RESULT 0 | 2"
done

current="script found"
rm -f "$work/log.txt"
run --unattended "--log=$log" "$hello"
expect_rc 0
expect_log_line "RESULT 1 | 0"
# The terminal shows the caption; the Windows window is not shown unattended.
[ "$windows" = 1 ] || expect_text stdout "$out" "Hallo Welt 1.0"
expect_log_line "START $version | $hello_z"
expect_log_line "CAPTION Hallo Welt 1.0"

current="answers file"
printf '# Antworten\n\nnicht gefunden.\\r\\n => OK\n' >"$work/answers.txt"
rm -f "$work/log.txt"
run "$missing" "--answers=$(path "$work/answers.txt")" "--log=$log"
expect_rc 2
expect_log_line "MSG Plain | Installationsscript nicht gefunden.\\r\\n$missing_z -> OK (answers)"
rm -f "$work/log.txt"
run "--answers=$(path "$work/answers.txt")" "--log=$log" --unattended "$hello"
expect_rc 0
expect_log_line "CAPTION Hallo Welt 1.0"

current="answers that answered nothing"
expect_log_line "ANSWERS unused | nicht gefunden.\\r\\n => OK"
expect_log_line "RESULT 1 | 0"

current="a run that left something out"
mkdir -p "$work/teil/bin"
printf 'da\r\n' >"$work/teil/bin/da.txt"
printf '[Project]\r\nName=Teilweise\r\ntalk=1\r\nPart1=Teil\r\n[Teil]\r\nDir=bin\r\nFile1=da.txt\r\nFile2=fehlt.txt\r\n' >"$work/teil/install.ins"
rm -f "$work/log.txt"
run --unattended "--log=$log" '--dir=C:\Teilweise' "$(path "$work/teil/install.ins")"
expect_rc 3
expect_log_line "RESULT 1 | 3"
expect_log_line "MSG WarnOkCancel | TEIL: Anwendung nicht vollständig installiert! -> OK (default)"
# Every message reaches the console with its answer.
expect_text stderr "$err" "WarnOkCancel: TEIL: Anwendung nicht vollständig installiert! -> OK (default)"
expect_text stderr "$err" "fehlt.txt"
# Run again, now complete: exit status 0.
printf 'jetzt da\r\n' >"$work/teil/bin/fehlt.txt"
rm -f "$work/log.txt"
run --unattended "--log=$log" '--dir=C:\Teilweise' "$(path "$work/teil/install.ins")"
expect_rc 0
expect_log_line "RESULT 1 | 0"

current="bad answers file"
printf 'Yes\nWeiter => Vielleicht\n' >"$work/bad.txt"
run "--answers=$(path "$work/bad.txt")" --unattended "$hello"
expect_rc 2
expect_text stderr "$err" "bad.txt, Zeile 2"

current="target folders that are no full paths"
mkdir -p "$work/ziele" "$work/cwd"
printf '[Project]\r\nName=E2E-Ziel\r\nPath=relx\r\n' >"$work/ziele/relativ.ins"
printf '[Project]\r\nName=E2E-Ziel\r\nPath=C:\\T7 \r\n' >"$work/ziele/blank.ins"
for args in "$(path "$work/ziele/relativ.ins")" "--dir=C:foo $(path "$work/ziele/blank.ins")"; do
    rm -f "$work/log.txt"
    cd "$work/cwd" || exit 2
    # shellcheck disable=SC2086 # two arguments in one word
    run --unattended "--log=$log" $args
    cd - >/dev/null || exit 2
    expect_rc 1
    expect_text log "$(tr -d '\r' <"$work/log.txt")" "MSG Info | Der Zielordner\\r"
    checks=$((checks + 1))
    [ -z "$(ls -A "$work/cwd")" ] || fail "written into the current folder: $(ls -A "$work/cwd")"
done
rm -f "$work/log.txt"
run --unattended "--log=$log" "$(path "$work/ziele/blank.ins")"
expect_rc 0
expect_log_line 'TARGET C:\T7\'
if [ "$windows" = 0 ]; then
    checks=$((checks + 1))
    [ -f "$SETUP_ROOT/drive_c/T7/Deinst.ins" ] && [ ! -e "$SETUP_ROOT/drive_c/T7 " ] ||
        fail "C:\T7 not installed as it is: $(ls "$SETUP_ROOT/drive_c")"
    # A Linux path inside a drive of the root names that drive; one outside
    # it is on Z:, where nothing may be written.
    rm -f "$work/log.txt"
    run --unattended "--log=$log" "--dir=$SETUP_ROOT/drive_c/Apps/E2E" "$work/ziele/blank.ins"
    expect_rc 0
    expect_log_line 'TARGET C:\Apps\E2E\'
    rm -f "$work/log.txt"
    run --unattended "--log=$log" "--dir=$work/cwd/ziel" "$work/ziele/blank.ins"
    expect_rc 1
    checks=$((checks + 1))
    [ ! -e "$work/cwd/ziel" ] || fail "written outside the root: $work/cwd/ziel"
fi

current="answers file that is no small text file"
mkdir -p "$work/ordner"
truncate -s 2G "$work/gross.txt"
for bad in "$work/ordner" "$work/gross.txt"; do
    run "--answers=$(path "$bad")" --unattended "$hello"
    expect_rc 2
    expect_text stderr "$err" "Antwortdatei"
done
rm -f "$work/gross.txt"
if [ "$windows" = 0 ]; then
    mkfifo "$work/fifo"
    for bad in /dev/zero "$work/fifo"; do
        run "--answers=$bad" --unattended "$hello"
        expect_rc 2
        expect_text stderr "$err" "$bad ist keine gew"
    done

    # A script that is a pipe would block its reader for ever (nobody
    # writes to it): each use refuses it at once; the timeout turns a
    # regression into a failure instead of a hang.
    current="script that is a pipe"
    mkdir -p "$work/pipe"
    cp "$source_dir/examples/hello/install.ins" "$work/pipe/teil.ins"
    mkfifo "$work/pipe/install.ins" "$work/pipe/sub.ins" "$work/pipe/bed.txt"
    for mode in --check --unattended --plan; do
        run_limited "$mode" "$work/pipe/install.ins"
        expect_rc 2
        expect_text "output" "$out$err" "$([ "$mode" = --check ] && echo "not a regular file" || echo "keine gew")"
    done
    # A sub-project script and a condition file that are pipes.
    printf '[Project]\r\nName=Rohr\r\nPath=C:\\Rohr\r\nTalk=0\r\nPart1=Bed\r\nPart2=Sub\r\n[Sub]\r\nInstall=sub.ins\r\n[Bed]\r\nCond=bed.txt\r\n' >"$work/pipe/haupt.ins"
    for mode in --check --unattended --plan; do
        run_limited "$mode" "$work/pipe/haupt.ins"
        checks=$((checks + 1))
        [ "$rc" != 124 ] || fail "$mode on a script whose sub-project and condition are pipes hangs"
    done
    expect_text "check output" "$(run_limited --check "$work/pipe/haupt.ins"; echo "$out")" "sub.ins:0: error: the script is not a regular file"
fi

current="log that cannot be written"
run "--log=$(path "$work/fehlt/log.txt")" --unattended "$hello"
expect_rc 2
expect_text stderr "$err" "kann nicht angelegt werden"
if [ "$windows" = 0 ] && [ -w /dev/full ]; then
    run --log=/dev/full --unattended "$hello"
    expect_rc 2
    expect_text stderr "$err" "Das Protokoll /dev/full kann nicht geschrieben werden."
fi

# encode CODEC FILE: the hello script in another encoding, with its
# byte-order mark and a euro sign in the caption.
encode() {
    python3 - "$1" "$source_dir/examples/hello/install.ins" "$2" <<'PY'
import sys
codec, source, dest = sys.argv[1:]
text = open(source, 'rb').read().decode('cp1252').replace('Hallo Welt', 'Hallo \u20ac')
if dest.endswith('bad.ins'):
    text = text.replace('Version=1.0', 'Version=1.0 \u2192')
open(dest, 'wb').write(('\ufeff' + text).encode(codec))
PY
}
if command -v python3 >/dev/null 2>&1; then
    cp "$source_dir/examples/hello/hallo.txt" "$work/"
    for codec in utf-8 utf-16-le utf-16-be; do
        current="script in $codec"
        ins="$work/hallo-$codec.ins"
        encode "$codec" "$ins"
        rm -f "$work/log.txt"
        run --unattended "--log=$log" "$(path "$ins")"
        expect_rc 0
        expect_log_line "CAPTION Hallo € 1.0"
    done
    current="script with a character without a Windows-1252 form"
    encode utf-8 "$work/bad.ins"
    rm -f "$work/log.txt"
    run --unattended "--log=$log" "$(path "$work/bad.ins")"
    expect_rc 2
    expect_text stderr "$err" "Zeile 5: das Zeichen U+2192 hat keine Windows-1252-Form"
    expect_log_line "RESULT 0 | 2"
fi

current="script without [Project]"
printf '[Projekt]\r\nName=X\r\n' >"$work/ohne.ins"
rm -f "$work/log.txt"
run --unattended "--log=$log" "$(path "$work/ohne.ins")"
expect_rc 2
expect_text stderr "$err" "hat keinen Abschnitt [Project]"
expect_log_line "RESULT 0 | 2"

echo "e2e: $checks checks, $failures failed ($exe)"
[ "$failures" = 0 ]

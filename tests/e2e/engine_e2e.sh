#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# End-to-end test of an installation on the emulated Windows of the Linux
# build: the bundled example project is installed unattended, twice, and the
# files, Deinst.ins, the registry and the log are checked; then bad input.
#
#   tests/e2e/engine_e2e.sh BUILD_DIR      (a native build with `setup`)
set -u

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
# shellcheck source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
exe="$build/setup"
if [ ! -x "$exe" ]; then
    echo "engine e2e: SKIPPED: no native setup in $build (the Windows build has no terminal front end)"
    exit 0
fi

e2e_scratch setup-engine-e2e
e2e_fresh_root "$work/root"
log="$work/log.txt"

run() { # run ARGS...: stdin from /dev/null; sets rc
    rm -f "$log"
    e2e_run "$exe" "$@" --log="$log"
}
same_mtime() { [ "$(stat -c %Y "$1")" = "$(stat -c %Y "$2")" ]; }

# The example project, copied so that its files have dates of their own.
project="$work/medium"
cp -r "$source_dir/examples/demo" "$project"
touch -d '2021-03-04 05:06:08' "$project/bin/demo.bat"
touch -d '2019-12-31 23:59:58' "$project/doc/handbuch.txt"

current="first installation"
run --unattended --dir='C:\Demo\Ziel' "$project/install.ins"
expect_rc 0
target="$drive/Demo/Ziel"
for f in bin/demo.bat bin/demo.ini doc/handbuch.txt doc/bilder/muster.ppm; do
    check "$f copied" cmp -s "$project/$f" "$target/$f"
    check "$f keeps its date" same_mtime "$project/$f" "$target/$f"
done
check "Deinst.ins has [Pathes]" grep -q '^\[Pathes\]' "$target/Deinst.ins"
check "P1 is the first created folder" grep -qF 'P1=C:\Demo' "$target/Deinst.ins"
check "P2 is the target" grep -qF 'P2=C:\Demo\Ziel' "$target/Deinst.ins"
check "install record" grep -qiF '[HKEY_LOCAL_MACHINE\Software\Qorv\Installs]' "$SETUP_ROOT/registry.reg"
check "install record value" grep -qF '"QorvDemo"="C:\\Demo\\Ziel\\"' "$SETUP_ROOT/registry.reg"
statuses=$(grep '^STATUS ' "$log" | sed 's/^STATUS //; s/ | .*//' | uniq | tr '\n' ',')
expected='Init,CheckDiskSpace,CopyWinFiles,CopyWinSystemFiles,CopyWinSystem32Files,ExecProgs,Fonts,MakeGroup,Programmdateien,Programm,Dokumentation,Handbuch,EndInstall, ,Ready,'
checks=$((checks + 1))
[ "$statuses" = "$expected" ] || fail "status sequence $statuses, expected $expected"
expect_log "CAPTION Qorv-Demo 1.0"
expect_log "TARGET C:\\Demo\\Ziel\\"
expect_log "MSG Info | Kopieren von Dateien:\\r\\r4 Dateien aktualisiert\\r -> OK (default)"
expect_log "HINT kopiert wurden:\\r\\n"
expect_log "C:\\DEMO\\ZIEL\\BIN\\DEMO.BAT\\r\\n"
expect_log "RESULT 1 | 0"

current="second installation into the same folder"
run --unattended --dir='C:\Demo\Ziel' "$project/install.ins"
expect_rc 0
expect_log "4 Dateien bzgl. Aktualit"
check "Deinst.ins kept" grep -qF 'P2=C:\Demo\Ziel' "$target/Deinst.ins"

current="target folder blocked by a file"
mkdir -p "$drive/Block"
echo "im Weg" >"$drive/Block/Datei"
run --unattended --dir='C:\Block\Datei\Ziel' "$project/install.ins"
expect_rc 1
expect_log "ERROR C:\\Block\\Datei"
check "the file in the way is unchanged" grep -qx "im Weg" "$drive/Block/Datei"
check "nothing below the file" test ! -e "$drive/Block/Datei/Ziel"
check "stderr names the folder" grep -qF 'kann nicht angelegt werden' "$work/err"

current="bad condition file and missing sub-script"
bad="$work/bad"
mkdir -p "$bad/bin"
cp "$project/bin/demo.bat" "$bad/bin/"
head -c 300 /dev/urandom >"$bad/bin/frage.txt"
printf '\0\0' >>"$bad/bin/frage.txt"
printf '[Project]\r\nName=Bad\r\ntalk=1\r\nPart1=Teil\r\nPart2=Sub\r\n[Teil]\r\nDir=bin\r\nCond=frage.txt\r\nFile1=*.bat\r\n[Sub]\r\nInstall=fehlt.ins\r\nfak=1\r\n' >"$bad/install.ins"
run --unattended --dir='C:\Bad' "$bad/install.ins"
# Installed, but without the two parts: exit status 3, and the console says why.
expect_rc 3
expect_log "ist keine Textdatei"
expect_log "Installationsscript nicht gefunden.\\r\\n"
expect_log "RESULT 1 | 3"
check "a part that was not chosen is not copied" test ! -e "$drive/Bad/bin/demo.bat"
check "stderr names the condition file" grep -qF 'ist keine Textdatei' "$work/err"
check "stderr names the missing sub-script" grep -qF 'Installationsscript nicht gefunden.' "$work/err"

echo "engine e2e: $checks checks, $failures failed ($exe)"
[ "$failures" = 0 ]

#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# The record of a killed installation: the program of BUILD_DIR installs a
# project of many small files and is killed (SIGKILL) at random moments of
# the run. Afterwards Deinst.ins must read without error, and every file in
# the target must be recorded in it with the size and time it has, or be a
# temporary file of the copier (which the next run or the uninstaller clears).
#
#   tests/e2e/record_kill_e2e.sh BUILD_DIR [KILLS]
#
# KILLS: how many killed runs (default 20). Needs python3.
set -u

if [ $# -lt 1 ] || [ ! -x "$1/setup" ]; then
    echo "usage: $0 BUILD_DIR [KILLS] (with the native setup)" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
kills=${2:-20}
# shellcheck source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
command -v python3 >/dev/null 2>&1 || { echo "$0: python3 is needed" >&2; exit 1; }

e2e_scratch setup-record-kill
export SETUP_LANG=DEU

# 2,000 files in 20 folders, a registry value and the uninstall entry.
project="$work/project"
python3 - "$project" <<'EOF'
import os, sys
root = sys.argv[1]
for d in range(20):
    folder = os.path.join(root, "data", "teil%02d" % d)
    os.makedirs(folder)
    for f in range(100):
        with open(os.path.join(folder, "datei%03d.txt" % f), "w") as out:
            out.write("Inhalt %d/%d\n" % (d, f) * (1 + f % 7))
with open(os.path.join(root, "install.ins"), "w", newline="") as out:
    out.write("[Project]\r\nName=RecordKill\r\nPath=C:\\RecordKill\r\nPart1=Daten\r\n"
              "[Daten]\r\nFile1=data\\*.* /s\r\nIcon=-\r\n"
              "Register1=U\\Software\\RecordKill\\Ordner=%DIR%\r\n"
              "UnInst=%DIR%weg.exe\r\n")
EOF

# The state of the target after a run: what the record says against the disk.
check_target() { # check_target ROOT
    python3 - "$1" <<'EOF'
import os, re, sys
root = sys.argv[1]
target = os.path.join(root, "drive_c", "RecordKill")
record = os.path.join(target, "Deinst.ins")
problems = []
files = {}
if os.path.exists(record):
    data = open(record, "rb").read()
    text = data.decode("cp1252")
    lines = re.split(r"\r\n|\r|\n", text)
    torn = not text.endswith(("\n", "\r"))
    section = None
    for number, line in enumerate(lines):
        last = number == len(lines) - 1
        if line == "":
            continue
        if line.startswith("["):
            section = line[1:line.index("]")] if "]" in line else None
            continue
        if section != "Installed":
            continue
        if last and torn:
            continue  # an unfinished line is left out by the reader
        kind, _, fields = line.partition("=")
        parts = fields.split("|")
        counts = {"Folder": 1, "Link": 1, "File": 3, "Key": 2, "Value": 5, "Font": 2}
        if kind not in counts or len(parts) != counts[kind]:
            problems.append("malformed line %d: %s" % (number + 1, line))
            continue
        if kind == "File":
            files[parts[0].upper()] = (int(parts[1]), int(parts[2]))
for folder, _, names in os.walk(target):
    for name in names:
        path = os.path.join(folder, name)
        if path == record:
            continue
        if re.fullmatch(r"~setup\d+_\d+\.(tmp|dl)", name):
            continue  # a copy the kill interrupted
        windows = "C:\\" + os.path.relpath(path, os.path.join(root, "drive_c")).replace("/", "\\")
        info = os.stat(path)
        filetime = info.st_mtime_ns // 100 + 116444736000000000
        recorded = files.get(windows.upper())
        if recorded is None:
            problems.append("not recorded: " + windows)
        elif recorded != (info.st_size, filetime):
            problems.append("recorded as %s, is %s: %s" % (recorded, (info.st_size, filetime), windows))
for p in problems[:10]:
    print(p)
print("%d files recorded" % len(files))
sys.exit(1 if problems else 0)
EOF
}

# One whole run first: it must be recorded completely, and its length gives
# the range of the kill moments.
e2e_fresh_root "$work/full"
start=$(date +%s%N)
e2e_run "$build/setup" "$project/install.ins" --unattended "--log=$work/full.log"
took_ms=$((($(date +%s%N) - start) / 1000000))
current="a whole run"
check "the installation succeeds (exit status $rc)" test "$rc" = 0
check "the whole run is recorded" check_target "$SETUP_ROOT"
echo "a whole run takes $took_ms ms"

# Kills at random moments up to the length of a whole run (seeded: a failure
# can be repeated with SETUP_E2E_SEED).
RANDOM=${SETUP_E2E_SEED:-$$}
echo "seed: ${SETUP_E2E_SEED:-$$}"
for ((i = 1; i <= kills; i++)); do
    e2e_fresh_root "$work/kill$i"
    delay_ms=$((RANDOM % (took_ms + 1)))
    "$build/setup" "$project/install.ins" --unattended "--log=$work/kill$i.log" \
        </dev/null >/dev/null 2>&1 &
    pid=$!
    sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    current="killed after $delay_ms ms"
    check "every file in the target is recorded as it is" check_target "$SETUP_ROOT"
    # A run after the kill goes on from the record it left.
    if [ "$i" -le 2 ]; then
        e2e_run "$build/setup" "$project/install.ins" --unattended "--log=$work/again$i.log"
        check "a run after the kill succeeds (exit status $rc)" test "$rc" = 0
        check "and is recorded completely" check_target "$SETUP_ROOT"
    fi
    rm -rf "$SETUP_ROOT"
done

echo "record kill e2e: $checks checks, $failures failed ($build/setup)"
[ "$failures" = 0 ]

#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# End-to-end installations of the example projects (examples/app,
# examples/fonts-cleanup, examples/web-subproject) and of the scenario scripts
# in tests/e2e/scenarios/, each run twice: with the native build on a fresh
# emulated Windows and with the win64 Setup.exe under wine64 in a fresh Wine
# prefix, unattended and with answers files.
#
#   tests/e2e/examples_e2e.sh BUILD_NATIVE BUILD_WIN64
#
# After each run an outcome is collected: the exit status; every file that
# the run created or changed on drive C: (size, date, read-only flag, content
# hash; the text of small text files such as Deinst.ins; the fields of .LNK
# files as lnkinfo reads them); every registry value the run wrote (the
# emulated registry.reg, Wine's regedit export, each compared with its state
# before the run); the log's STATUS, MSG, FILE, REG, LINK and RESULT lines.
# Paths that differ only by where the run happened are normalised. Then
#   - every line of tests/e2e/scenarios/CASE.expect must be in the native
#     outcome (and in the Wine outcome), and
#   - the native and the Wine outcome must be equal: a difference between the
#     platforms is a bug and fails the suite (the diff is printed).
# The Wine half is skipped, with a message saying so, when wine64 is missing
# or when Setup.exe does not install yet; SETUP_E2E_KEEP=1 keeps the work
# folder for a look at the outcomes.
set -u

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_NATIVE BUILD_WIN64" >&2
    exit 2
fi
native_build=$(cd "$1" && pwd) || exit 2
win_build=$(cd "$2" 2>/dev/null && pwd) || win_build=
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib/common.sh
. "$here/lib/common.sh"
# shellcheck source=lib/wine.sh
. "$here/lib/wine.sh"
# shellcheck source=lib/web.sh
. "$here/lib/web.sh"
scenarios="$here/scenarios"
setup_native="$native_build/setup"
setup_exe="$win_build/Setup.exe"
[ -x "$setup_native" ] || { echo "examples e2e: no native setup in $native_build" >&2; exit 2; }

# The expected texts are the German ones, whatever language the user has.
export SETUP_LANG=DEU
# File dates are local times. Windows converts them with the bias of today
# (a summer date read in winter is one hour off, which the date comparison
# forgives), the emulated Windows with the bias of that date: in a zone with
# summer time the two show dates an hour apart. UTC by default;
# SETUP_E2E_TZ=Europe/Berlin shows the difference.
export TZ=${SETUP_E2E_TZ:-UTC}
e2e_scratch setup-examples-e2e
t_start=$SECONDS

pending=0

# ---------------------------------------------------------------------------
# The outcome of one run, as sorted text lines.
collector="$work/outcome.py"
cat >"$collector" <<'PYTHON'
import hashlib, os, re, subprocess, sys, time

def winpath_norm(text, subst):
    # The free space of a drive changes from run to run.
    text = re.sub(r'(Ziellaufwerk: |noch frei: )[0-9.,]+ [KMG]?Byte', r'\1<frei>', text)
    for old, new in subst:
        text = re.sub(re.escape(old), new.replace('\\', '\\\\'), text, flags=re.IGNORECASE)
    return text

# The system's own folders are named by the system (Wine: C:\\windows\\system32).
SYSTEM_FOLDERS = ('Windows/System32/', 'Windows/Fonts/', 'Windows/')

def canonical(name):
    for folder in SYSTEM_FOLDERS:
        if name.lower().startswith(folder.lower()):
            return folder + name[len(folder):]
    return name

def list_files(drive):
    files = {}
    for base, dirs, names in os.walk(drive):
        for n in names:
            p = os.path.join(base, n)
            try:
                st = os.lstat(p)
            except OSError:
                continue
            rel = os.path.relpath(p, drive)
            # Nanoseconds: a file rewritten within the same second still counts
            # as written (a fast platform would otherwise hide it).
            files[rel] = (st.st_size, st.st_mtime_ns, st.st_mode)
    return files

def sha(p):
    h = hashlib.sha1()
    with open(p, 'rb') as f:
        for block in iter(lambda: f.read(1 << 20), b''):
            h.update(block)
    return h.hexdigest()[:12]

# What the installer sets; the relative path is the link writer's own.
LNK_FIELDS = {'Local path': 'target', 'Relative path': 'relative', 'Description': 'desc',
              'Working directory': 'workdir', 'Command line arguments': 'args', 'Icon location': 'icon'}

def lnk_line(p):
    out = subprocess.run(['lnkinfo', p], capture_output=True, text=True, errors='replace').stdout
    fields = {}
    for line in out.splitlines():
        m = re.match(r'\s*([A-Za-z ]+?)\s*:\s?(.*)$', line)
        if m and m.group(1) in LNK_FIELDS:
            fields[LNK_FIELDS[m.group(1)]] = m.group(2)
    with open(p, 'rb') as f:
        head = f.read(0x44)
    # lnkinfo 20181227 shows the file size as the show command: read them here.
    if len(head) >= 0x44:
        fields['iconindex'] = str(int.from_bytes(head[0x38:0x3C], 'little', signed=True))
        fields['show'] = str(int.from_bytes(head[0x3C:0x40], 'little'))
    return ' | '.join('%s=%s' % (k, fields.get(k, '')) for k in
                      ('target', 'args', 'workdir', 'icon', 'iconindex', 'desc', 'show'))

TEXT_EXT = ('.ins', '.txt', '.cfg', '.ini', '.bat', '.ntz')

def strip_journal(text):
    """Deinst.ins without its [Installed] sections (header, lines, blank line after)."""
    kept, journal = [], False
    for line in text.split('\r\n'):
        if line.startswith('['):
            journal = line.lower().startswith('[installed]')
        if not journal:
            kept.append(line)
    return '\r\n'.join(kept)

def file_lines(drive, before, after, subst):
    lines = ['gone %s' % canonical('/'.join(rel.split(os.sep))) for rel in sorted(before) if rel not in after]
    for rel in sorted(after, key=lambda r: canonical('/'.join(r.split(os.sep)))):
        if before.get(rel) == after[rel]:
            continue
        size, mtime_ns, mode = after[rel]
        mtime = mtime_ns // 1000000000
        p = os.path.join(drive, rel)
        name = canonical('/'.join(rel.split(os.sep)))
        stamp = time.strftime('%Y-%m-%d %H:%M:%S', time.localtime(mtime))
        # A file the installer writes itself has the time of the run.
        if mtime >= RUN_START - 2:
            stamp = 'now'
        ro = 'ro' if not (mode & 0o222) else 'rw'
        if name.lower().endswith('.lnk'):
            lines.append('lnk %s | %s' % (name, winpath_norm(lnk_line(p), subst)))
            continue
        text = None
        if name.lower().endswith('deinst.ins'):
            # The journal of what the run did ([Installed]) names registry
            # keys as each platform had them before: compared without it.
            with open(p, 'rb') as f:
                text = strip_journal(f.read().decode('cp1252', errors='replace'))
            size = len(text.encode('cp1252', errors='replace'))
        text_file = name.lower().endswith(TEXT_EXT) and size <= 4096
        # A text file is compared by its lines, after the paths in it are normalised.
        lines.append('file %s | %d | %s | %s | %s' % (name, size, stamp, ro, 'text' if text_file else sha(p)))
        if text_file:
            if text is None:
                with open(p, 'rb') as f:
                    text = f.read().decode('cp1252', errors='replace')
            for i, t in enumerate(text.split('\r\n')):
                lines.append('text %s:%d | %s' % (name, i + 1, winpath_norm(t, subst)))
    return lines

def parse_reg(path):
    """Values of a REGEDIT4 or REGEDIT5 (UTF-16) export: {(key, name): (type, data)}."""
    raw = open(path, 'rb').read()
    if raw.startswith(b'\xff\xfe'):
        text = raw[2:].decode('utf-16-le')
    else:
        text = raw.decode('cp1252')
    text = re.sub(r'\\\r?\n\s*', '', text)  # continued hex lines
    values = {}
    key = None
    for line in text.splitlines():
        line = line.rstrip('\r')
        if line.startswith('[') and line.endswith(']'):
            key = line[1:-1]
            values[(key.lower(), None)] = ('KEY', '')
            continue
        if key is None or not line or line.startswith(';'):
            continue
        m = re.match(r'^(@|"((?:[^"\\]|\\.)*)")=(.*)$', line)
        if not m:
            continue
        name = '' if m.group(1) == '@' else re.sub(r'\\(.)', r'\1', m.group(2))
        data = m.group(3)
        if data.startswith('"'):
            kind, data = 'REG_SZ', re.sub(r'\\(.)', r'\1', data[1:-1])
        elif data.startswith('dword:'):
            kind, data = 'REG_DWORD', str(int(data[6:], 16))
        else:
            kind = 'OTHER'
        values[(key.lower(), name)] = (kind, data)
    return values

FONTS_KEY = 'hkey_local_machine\\software\\microsoft\\windows nt\\currentversion\\fonts'
SYSTEM_KEYS = ('hkey_current_user\\software\\microsoft\\', 'hkey_local_machine\\system\\')

def reg_lines(before, after, subst):
    # An empty key is compared where it is a leaf (like a bare [Register] key);
    # whether an export lists the empty parents of a key is the exporter's.
    parents = set()
    for key, name in after:
        parts = key.split('\\')
        for i in range(1, len(parts)):
            parents.add('\\'.join(parts[:i]))
        if name is not None:
            parents.add(key)
    lines = []
    for (key, name), (kind, data) in sorted(after.items(), key=lambda kv: (kv[0][0], kv[0][1] or '')):
        if before.get((key, name)) == (kind, data):
            continue
        k = key.replace('hkey_local_machine\\software\\classes', 'hkey_classes_root')
        # Wine's desktop integration and empty keys of the system's own places
        # (made by a read on the emulated Windows, present from the start in Wine).
        # Wine registers the host's fonts (DejaVu among them) under their
        # names at each start, over what the fonts step wrote; the log's REG
        # lines and Deinst.ins show what the step registered.
        if key.startswith('hkey_current_user\\software\\wine') or key == FONTS_KEY:
            continue
        if name is None:
            if key not in parents and not key.startswith(SYSTEM_KEYS):
                lines.append('regkey %s' % k)
        else:
            lines.append('reg %s | %s | %s | %s' % (k, name, kind, winpath_norm(data, subst)))
    return lines

LOG_TAGS = ('STATUS', 'MSG', 'FILE', 'REG', 'LINK', 'RESULT', 'FOLDER', 'ERROR', 'TARGET', 'CAPTION', 'EXEC', 'SHELL',
            'DELETE', 'MOVE', 'ANSWERS')

def log_lines(path, subst):
    lines = []
    try:
        text = open(path, encoding='utf-8', errors='replace').read()
    except OSError:
        return ['log (none)']
    for line in text.splitlines():
        if line.split(' ', 1)[0] in LOG_TAGS:
            lines.append('log ' + winpath_norm(line, subst))
    return lines

def main():
    # outcome.py OUT RC DRIVE_C BEFORE_FILES REG_BEFORE... -- REG_AFTER... -- LOG SUBST...
    args = sys.argv[1:]
    out, rc, drive, before_list = args[0], args[1], args[2], args[3]
    rest = args[4:]
    i = rest.index('--')
    reg_before = rest[:i]
    rest = rest[i + 1:]
    i = rest.index('--')
    reg_after = rest[:i]
    log = rest[i + 1]
    subst = [tuple(s.split('=>', 1)) for s in rest[i + 2:]]
    import pickle
    before = pickle.load(open(before_list, 'rb')) if os.path.exists(before_list) else {}
    after = list_files(drive)
    rb, ra = {}, {}
    for p in reg_before:
        rb.update(parse_reg(p))
    for p in reg_after:
        ra.update(parse_reg(p))
    lines = ['exit %s' % rc]
    lines += file_lines(drive, before, after, subst)
    lines += reg_lines(rb, ra, subst)
    lines += log_lines(log, subst)
    with open(out, 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines) + '\n')

if __name__ == '__main__':
    if sys.argv[1] == '--snapshot':
        import pickle
        pickle.dump(list_files(sys.argv[2]), open(sys.argv[3], 'wb'))
    else:
        RUN_START = os.path.getmtime(sys.argv[4])
        main()
PYTHON

# ---------------------------------------------------------------------------
# The examples and scenarios, staged once under one path that both platforms
# see (Z: is / for both), so that their logs name the same source paths.
src="$work/src"
mkdir -p "$src"
bash "$source_dir/examples/app/stage.sh" "$src/app" || exit 1
bash "$source_dir/examples/fonts-cleanup/stage.sh" "$src/fonts-cleanup" || exit 1
cp -r "$scenarios" "$src/scenarios"
e2e_serve_web "$src/web-subproject" "$work/server.log"
zsrc=$(zpath "$src")

# ---------------------------------------------------------------------------
# Platforms. A case calls `setup_run SCRIPT ARGS...` for the runs before the
# one measured and `measure RC SCRIPT ARGS...` for that one; SCRIPT and the
# answers files (`answers FILE`) are relative to the staged sources; `drive`
# is the Linux folder of drive C: of the current platform.
platform=
case_dir=
drive=
args_of() { # the program's arguments on the current platform
    local a
    for a in "$@"; do
        case "$a" in
        @answers=*) a=${a#@answers=}
            if [ "$platform" = wine ]; then printf '%s\n' "--answers=$zsrc\\${a//\//\\}"; else printf '%s\n' "--answers=$src/$a"; fi ;;
        *) printf '%s\n' "$a" ;;
        esac
    done
}
setup_run() { # setup_run SCRIPT ARGS...: one run; sets rc
    local script=$1
    shift
    local log=$case_dir/log.txt
    rm -f "$log"
    mapfile -t args < <(args_of "$@")
    if [ "$platform" = native ]; then
        "$setup_native" "$src/$script" --unattended --log="$log" "${args[@]}" \
            </dev/null >"$case_dir/out" 2>"$case_dir/err"
        rc=$?
    else
        "$WINE64" "$setup_exe" "$zsrc\\${script//\//\\}" --unattended --log="$(zpath "$log")" "${args[@]}" \
            </dev/null >"$case_dir/out" 2>"$case_dir/err"
        rc=$?
        wineserver -w >/dev/null 2>&1
    fi
}
registry_export() { # registry_export TAG: the registry as files $case_dir/TAG-*.reg
    if [ "$platform" = native ]; then
        cp "$SETUP_ROOT/registry.reg" "$case_dir/$1-all.reg" 2>/dev/null || : >"$case_dir/$1-all.reg"
    else
        "$WINE64" regedit /E "$(zpath "$case_dir")\\$1-hklm.reg" 'HKEY_LOCAL_MACHINE\Software' >/dev/null 2>&1
        "$WINE64" regedit /E "$(zpath "$case_dir")\\$1-hkcu.reg" 'HKEY_CURRENT_USER\Software' >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
    fi
}
measure() { # measure RC SCRIPT ARGS...: the measured run and its outcome
    local expected_rc=$1
    shift
    python3 "$collector" --snapshot "$drive" "$case_dir/files-before"
    registry_export before
    setup_run "$@"
    checks=$((checks + 1))
    [ "$rc" = "$expected_rc" ] || fail "$case_name ($platform): exit status $rc, expected $expected_rc; stderr: $(head -c 600 "$case_dir/err")"
    registry_export after
    python3 "$collector" "$case_dir/outcome.txt" "$rc" "$drive" "$case_dir/files-before" \
        "$case_dir"/before-*.reg -- "$case_dir"/after-*.reg -- "$case_dir/log.txt" \
        "$zsrc=>Z:\\SRC" "$src=>/SRC" "C:\\users\\root=>C:\\Users\\User" \
        'C:\Windows\System32=>C:\Windows\System32' 'C:\Windows\Fonts=>C:\Windows\Fonts' 'C:\Windows=>C:\Windows'
}

start_native() { # start_native CASE: a fresh emulated Windows
    platform=native
    case_dir="$work/native/$1"
    mkdir -p "$case_dir"
    e2e_fresh_root "$case_dir/root" "$setup_native"
    # Windows (and Wine) ship notepad.exe, which shortcuts name by its bare name.
    printf 'MZ' >"$drive/Windows/System32/notepad.exe"
}
start_wine() { # start_wine CASE: a copy of the fresh Wine prefix
    platform=wine
    case_dir="$work/wine/$1"
    mkdir -p "$case_dir"
    export WINEPREFIX="$case_dir/prefix"
    cp -a "$work/prefix" "$WINEPREFIX"
    drive="$WINEPREFIX/drive_c"
}
stop_wine() {
    e2e_wine_stop
    rm -rf "$WINEPREFIX"
}

# ---------------------------------------------------------------------------
# The cases: one function each, run once per platform.
case_app() {
    measure 0 app/install.ins
}
# An update over an installed version: the user's settings stay (FileOverride
# 2), a newer file in the target is kept (the overwrite question answered No),
# a changed template is replaced.
case_app_update() {
    setup_run app/install.ins
    local t="$drive/Program Files/Qorv/Notiz"
    printf 'Breite=800\r\n' >>"$t/bin/notiz.ini"
    touch -d '2025-01-01 12:00:00' "$t/bin/notiz.bat"
    chmod u+w "$t/vorlagen/brief.ntz" && printf 'alt\r\n' >"$t/vorlagen/brief.ntz" &&
        touch -d '2020-01-01 00:00:00' "$t/vorlagen/brief.ntz" && chmod a-w "$t/vorlagen/brief.ntz"
    measure 0 app/install.ins @answers=scenarios/app_update.answers
}
case_fonts_cleanup() {
    setup_run fonts-cleanup/v1/install.ins --dir='C:\Qorv\Schriften'
    measure 0 fonts-cleanup/install.ins --dir='C:\Qorv\Schriften' @answers=fonts-cleanup/answers.txt
}
case_web_subproject() {
    measure 0 web-subproject/install.ins @answers=web-subproject/answers.txt
}
# Diagnostic mode 3, switched on by a first run's register line.
case_diagnose() {
    setup_run scenarios/diagnose/an.ins --dir='C:\Szenario\DiagnoseAn'
    measure 0 scenarios/diagnose/lauf.ins --dir='C:\Szenario\Diagnose'
}
cases=(app app_update fonts_cleanup web_subproject diagnose)
for f in "$scenarios"/*.ins; do
    [ -e "$f" ] || continue
    name=$(basename "$f" .ins)
    # A scenario script NAME.ins runs with NAME.answers when there is one and
    # ends with the exit status in its first line: "; exit 1".
    eval "case_$name() { measure \$(sed -n '1s/^; exit \\([0-9]\\).*/\\1/p' \"$f\" | grep . || echo 0) scenarios/$name.ins \$( [ -f \"$scenarios/$name.answers\" ] && echo @answers=scenarios/$name.answers) --dir='C:\\Szenario\\$name'; }"
    cases+=("$name")
done

expect_lines() { # expect_lines CASE OUTCOME: every line of CASE.expect is in OUTCOME
    local expect="$scenarios/$1.expect" line missing=0
    [ -f "$expect" ] || return 0
    while IFS= read -r line || [ -n "$line" ]; do
        [ -z "$line" ] || [ "${line#\#}" != "$line" ] && continue
        if [ "${line#pending: }" != "$line" ]; then
            # A step still being built by someone: said, not counted as a failure.
            grep -qxF -- "${line#pending: }" "$2" || { echo "PENDING: $1 ($platform): ${line#pending: }"; pending=$((pending + 1)); }
            continue
        fi
        checks=$((checks + 1))
        if ! grep -qxF -- "$line" "$2"; then
            fail "$1 ($platform): outcome lacks: $line"
            missing=1
        fi
    done <"$expect"
    [ $missing = 0 ] || echo "  (outcome: $2)" >&2
}

echo "=== native: ${#cases[@]} cases"
for c in "${cases[@]}"; do
    case_name=$c
    start_native "$c"
    "case_$c"
    expect_lines "$c" "$case_dir/outcome.txt"
    echo "native $c: exit status $rc, $(grep -c '' "$case_dir/outcome.txt") outcome lines"
done
t_native=$((SECONDS - t_start))

# ---------------------------------------------------------------------------
# The same cases with Setup.exe under wine64.
wine_skip=
if [ -z "$win_build" ] || [ ! -f "$setup_exe" ]; then
    wine_skip="no Setup.exe in ${2} (build the win64 preset)"
elif ! e2e_have_wine; then
    wine_skip="wine64 is not installed ($WINE64)"
fi
if [ -z "$wine_skip" ]; then
    e2e_wine_env
    e2e_start_xvfb 121 160
    t0=$SECONDS
    e2e_wine_prefix "$work/prefix" || wine_skip="the Wine prefix could not be made"
    e2e_wine_stop
    echo "Wine prefix ready in $((SECONDS - t0)) s"
fi
if [ -z "$wine_skip" ]; then
    # Does this Setup.exe install at all? A one-file script, unattended.
    case_name=probe
    start_wine probe
    mkdir -p "$src/probe"
    printf '[Project]\r\nName=Probe\r\ntalk=0\r\nPart1=Teil\r\n[Teil]\r\nFile1=probe.txt\r\n' >"$src/probe/install.ins"
    echo probe >"$src/probe/probe.txt"
    setup_run probe/install.ins --dir='C:\Probe'
    if [ "$rc" != 0 ] || [ ! -f "$drive/Probe/probe.txt" ]; then
        wine_skip="Setup.exe does not install yet under wine64 (a one-file script ended with exit status $rc and no file: $(cat "$case_dir/out" "$case_dir/err" | head -c 300 | tr '\r\n' '  '))"
    fi
    stop_wine
fi

if [ -n "$wine_skip" ]; then
    echo "=== wine64: SKIPPED: $wine_skip"
    echo "=== the native outcomes were checked; the comparison with the Windows build did not run"
else
    echo "=== wine64: ${#cases[@]} cases"
    for c in "${cases[@]}"; do
        case_name=$c
        start_wine "$c"
        "case_$c"
        stop_wine
        expect_lines "$c" "$case_dir/outcome.txt"
        checks=$((checks + 1))
        if ! diff -u "$work/native/$c/outcome.txt" "$case_dir/outcome.txt" >"$case_dir/diff.txt"; then
            fail "$c: the platforms differ (--- native, +++ wine64):"
            grep '^[-+][^-+]' "$case_dir/diff.txt" | head -40 >&2
        else
            echo "wine64 $c: exit status $rc, same outcome as native"
        fi
    done
fi

echo "examples e2e: ${#cases[@]} cases, $checks checks, $failures failed, $pending pending (native $t_native s, all $((SECONDS - t_start)) s)"
[ "$failures" = 0 ]

#!/usr/bin/env bash
# Checks that the example projects use every section and key listed in
# tests/e2e/key_coverage.txt (scenario keys in tests/e2e/scenarios, the
# sections of Deinst.ins in the outcomes the end-to-end suite expects), and
# prints what is missing. Exit status 1 when something is missing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
mapfile -t examples < <(find "$root/examples/app" "$root/examples/fonts-cleanup" \
    "$root/examples/web-subproject" -name '*.ins' | sort)
mapfile -t scenarios < <(find "$here/scenarios" -name '*.ins' | sort)
mapfile -t expects < <(find "$here/scenarios" -name '*.expect' | sort)

# uses SECTION KEY FILES...: a line KEY=... (KEY with # as a number) in the
# section; "Part" is any section named by a PartN key, "*" any key.
uses() {
    local section=$1 key=$2
    shift 2
    python3 - "$section" "$key" "$@" <<'PY'
import re, sys
section, key, files = sys.argv[1], sys.argv[2], sys.argv[3:]
if key == '*':
    pattern = r'[^;=\[][^=]*'
else:
    pattern = re.escape(key).replace('\\#', '#').replace('#', '[1-9][0-9]*')
for name in files:
    text = open(name, 'rb').read().decode('cp1252')
    current, parts, keys = '', set(), []
    for line in text.split('\r\n'):
        if line.startswith('['):
            current = line[1:].split(']')[0].lower()
        elif '=' in line and not line.startswith(';'):
            k, v = line.split('=', 1)
            k = k.strip()
            keys.append((current, k))
            if current == 'project' and re.fullmatch(r'Part[1-9][0-9]*', k, re.I):
                parts.add(v.strip().lower())
    for sec, k in keys:
        in_section = sec in parts if section == 'Part' else sec == section.lower()
        if in_section and re.fullmatch(pattern, k, re.I):
            sys.exit(0)
sys.exit(1)
PY
}

missing=0
total=0
while read -r kind section key; do
    case "$kind" in '' | \#*) continue ;; esac
    total=$((total + 1))
    case "$kind" in
    script) uses "$section" "$key" "${examples[@]}" && continue ;;
    scenario) uses "$section" "$key" "${scenarios[@]}" "${examples[@]}" && continue ;;
    written)
        k=${key//\#/[1-9]}
        [ "$key" = '*' ] && k='[a-z]'
        grep -qiE "Deinst\.ins:[0-9]+ \| (\[$section\]|$k[^=]*=)" "${expects[@]}" && continue ;;
    esac
    echo "not used: $kind [$section] $key"
    missing=$((missing + 1))
done <"$here/key_coverage.txt"
echo "key coverage: $((total - missing)) of $total sections and keys used"
[ $missing = 0 ]

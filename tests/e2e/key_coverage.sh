#!/usr/bin/env bash
# Checks that the example projects use every section and key listed in
# tests/e2e/key_coverage.txt (scenario keys in tests/e2e/scenarios, the
# sections of Deinst.ins in the outcomes the end-to-end suite expects), and
# prints what is missing. Exit status 1 when something is missing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
exec python3 - "$here/key_coverage.txt" "$root/examples" "$here/scenarios" <<'PY'
import glob, os, re, sys
checklist, examples_dir, scenarios_dir = sys.argv[1:]
examples = sorted(glob.glob(os.path.join(examples_dir, '**', '*.ins'), recursive=True))
examples = [f for f in examples if os.path.relpath(f, examples_dir).split(os.sep)[0]
            in ('app', 'fonts-cleanup', 'web-subproject')]
scenarios = sorted(glob.glob(os.path.join(scenarios_dir, '**', '*.ins'), recursive=True))
expects = ''.join(open(f, encoding='utf-8').read() for f in glob.glob(os.path.join(scenarios_dir, '*.expect')))

def keys_of(name):
    """(section, key) of every key line; 'Part' for the sections named by PartN."""
    text = open(name, 'rb').read().decode('cp1252')
    current, parts, keys = '', set(), []
    for line in text.split('\r\n'):
        if line.startswith('['):
            current = line[1:].split(']')[0].lower()
        elif '=' in line and not line.startswith(';'):
            k, v = line.split('=', 1)
            keys.append((current, k.strip()))
            if current == 'project' and re.fullmatch(r'Part[1-9][0-9]*', k.strip(), re.I):
                parts.add(v.strip().lower())
    return [('part' if s in parts else s, k) for s, k in keys]

def uses(section, key, files):
    pattern = r'[^;=\[][^=]*' if key == '*' else re.escape(key).replace('\\#', '#').replace('#', '[1-9][0-9]*')
    return any(s == section.lower() and re.fullmatch(pattern, k, re.I)
               for f in files for s, k in keys_of(f))

missing = total = 0
for line in open(checklist, encoding='utf-8'):
    fields = line.split()
    if not fields or fields[0].startswith('#'):
        continue
    kind, section, key = fields
    total += 1
    if kind == 'script':
        found = uses(section, key, examples)
    elif kind == 'scenario':
        found = uses(section, key, scenarios + examples)
    else:  # written: a section of Deinst.ins in an expected outcome
        k = '[a-z]' if key == '*' else key.replace('#', '[1-9]')
        found = re.search(r'Deinst\.ins:[0-9]+ \| (\[%s\]|%s[^=]*=)' % (section, k), expects, re.I) is not None
    if not found:
        print('not used: %s [%s] %s' % (kind, section, key))
        missing += 1
print('key coverage: %d of %d sections and keys used' % (total - missing, total))
sys.exit(1 if missing else 0)
PY

#!/usr/bin/env python3
"""Compares the output of `setup --check` with a case's expectation file.

    compare_findings.py EXPECT STDOUT EXIT_STATUS CASE_DIR

EXPECT holds one expected finding a line, `PATH:LINE: SEVERITY [CODE]`,
optionally followed by words that must occur in the finding's text (the key
an `unknown-key` finding suggests); `#` lines are comments. PATH is relative
to CASE_DIR. STDOUT is what the program printed: one finding a line in the
form `PATH:LINE: error|warning: TEXT [CODE]`, then `N errors, M warnings`.

The findings are compared as a set (order does not matter); the counts of
the last line and the exit status (0 no findings, 1 warnings only, 2 errors)
must agree with them. A printed PATH may be absolute (a Linux path or its
Z: form) or relative (to the case folder, or the tail of exactly one file
path in it). Prints one line per difference; exit status 1 when there is one.
"""
import os
import re
import sys

CODES = {'unknown-section', 'unknown-key', 'numbering-gap', 'bad-value', 'unknown-variable',
         'missing-source', 'missing-part', 'encoding', 'unsafe-target'}
SEVERITY = {'unknown-section': 'warning', 'unknown-key': 'warning', 'numbering-gap': 'warning',
            'bad-value': 'error', 'unknown-variable': 'error', 'missing-source': 'error',
            'missing-part': 'error', 'unsafe-target': 'error'}  # encoding: either
FINDING = re.compile(r'^(.*):(\d+): (error|warning): (.*) \[([^\]\s]+)\]$')
EXPECTED = re.compile(r'^(.+):(\d+): (error|warning) \[([a-z-]+)\](?: (.*))?$')
COUNTS = re.compile(r'^(\d+) errors?, (\d+) warnings?$')


def case_files(case_dir):
    found = []
    for base, _, names in os.walk(case_dir):
        for n in names:
            found.append(os.path.relpath(os.path.join(base, n), case_dir).replace(os.sep, '/'))
    return found


def normalise(path, case_dir, files):
    """The printed PATH as a path relative to the case folder, lower case."""
    p = path.replace('\\', '/')
    if re.match(r'^[zZ]:/', p):
        p = p[2:]
    if p.startswith('/'):
        real = os.path.realpath(p)
        root = os.path.realpath(case_dir)
        if real == root or real.startswith(root + os.sep):
            p = os.path.relpath(real, root).replace(os.sep, '/')
        return p.lower()
    p = os.path.normpath(p).replace(os.sep, '/')
    if os.path.exists(os.path.join(case_dir, p)):
        return p.lower()
    tails = [f for f in files if f.lower() == p.lower() or f.lower().endswith('/' + p.lower())]
    return (tails[0] if len(tails) == 1 else p).lower()


def main():
    expect_file, stdout_file, rc, case_dir = sys.argv[1:5]
    problems = []
    expected = []
    for n, line in enumerate(open(expect_file, encoding='utf-8').read().splitlines(), 1):
        if not line.strip() or line.startswith('#'):
            continue
        m = EXPECTED.match(line)
        if not m:
            problems.append('%s:%d: cannot read the expectation "%s"' % (expect_file, n, line))
            continue
        expected.append((m.group(1).lower(), int(m.group(2)), m.group(3), m.group(4), (m.group(5) or '').split()))

    raw = open(stdout_file, 'rb').read().decode('utf-8', errors='replace')
    lines = [l.rstrip('\r') for l in raw.split('\n')]
    lines = [l for l in lines if l.strip()]
    files = case_files(case_dir)
    actual = []
    counts = None
    if not lines:
        problems.append('no output (expected the findings and a last line "N errors, M warnings")')
    else:
        m = COUNTS.match(lines[-1])
        if m:
            counts = (int(m.group(1)), int(m.group(2)))
            lines = lines[:-1]
        else:
            problems.append('the last line is not "N errors, M warnings": "%s"' % lines[-1])
    for line in lines:
        m = FINDING.match(line)
        if not m:
            problems.append('not a finding: "%s"' % line)
            continue
        path, number, severity, text, code = m.groups()
        if code not in CODES:
            problems.append('unknown code [%s]: "%s"' % (code, line))
        elif code in SEVERITY and SEVERITY[code] != severity:
            problems.append('[%s] is always an %s: "%s"' % (code, SEVERITY[code], line))
        actual.append((normalise(path, case_dir, files), int(number), severity, code, text, line))

    want = {}
    for e in expected:
        want.setdefault(e[:4], []).append(e[4])
    have = {}
    for a in actual:
        have.setdefault(a[:4], []).append(a)
    for key, words_list in want.items():
        got = have.get(key, [])
        if not got:
            problems.append('missing finding: %s:%d: %s [%s]' % key)
            continue
        for words in words_list:
            for w in words:
                if not any(w in a[4] for a in got):
                    problems.append('finding %s:%d: %s [%s] does not name "%s": %s' % (key + (w, got[0][5])))
    for key, got in have.items():
        if key not in want:
            for a in got:
                problems.append('unexpected finding: "%s"' % a[5])
        elif len(got) > len(want[key]):
            problems.append('finding reported %d times: "%s"' % (len(got), got[0][5]))

    errors = sum(1 for a in actual if a[2] == 'error')
    warnings = len(actual) - errors
    exp_errors = sum(1 for e in expected if e[2] == 'error')
    exp_warnings = len(expected) - exp_errors
    if counts is not None and counts != (errors, warnings):
        problems.append('the last line says %d errors, %d warnings, the output lists %d and %d'
                        % (counts + (errors, warnings)))
    if counts is not None and counts != (exp_errors, exp_warnings):
        problems.append('the last line says %d errors, %d warnings, expected %d and %d'
                        % (counts + (exp_errors, exp_warnings)))
    exp_rc = 2 if exp_errors else 1 if exp_warnings else 0
    if str(rc) != str(exp_rc):
        problems.append('exit status %s, expected %d' % (rc, exp_rc))
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())

#!/usr/bin/env python3
"""Prints the state of folder trees, one sorted line per entry, so that two
states can be compared with diff: every folder (with its modification time),
file (size, modification time in nanoseconds, mode, SHA-1 of the contents)
and symbolic link (its target) below each ROOT, named relative to it.

    tree_state.py ROOT...

A missing ROOT is one line "ROOT (missing)". Used to show that a run which
must change nothing (a check, a plan) left a tree byte for byte as it was.
"""
import hashlib
import os
import stat
import sys


def sha1(path):
    h = hashlib.sha1()
    with open(path, 'rb') as f:
        for block in iter(lambda: f.read(1 << 20), b''):
            h.update(block)
    return h.hexdigest()


def state(root):
    if not os.path.lexists(root):
        return ['%s (missing)' % root]
    lines = []
    for base, dirs, names in os.walk(root):
        for n in dirs + names:
            p = os.path.join(base, n)
            rel = os.path.relpath(p, root)
            st = os.lstat(p)
            if stat.S_ISLNK(st.st_mode):
                lines.append('%s | link | %s' % (rel, os.readlink(p)))
            elif stat.S_ISDIR(st.st_mode):
                lines.append('%s | dir | %d | %o' % (rel, st.st_mtime_ns, st.st_mode))
            else:
                lines.append('%s | file | %d | %d | %o | %s' % (rel, st.st_size, st.st_mtime_ns, st.st_mode, sha1(p)))
    st = os.stat(root)
    lines.append('. | dir | %d | %o' % (st.st_mtime_ns, st.st_mode))
    return sorted(lines)


def main():
    for root in sys.argv[1:]:
        print('== %s' % root)
        for line in state(root):
            print(line)


if __name__ == '__main__':
    main()

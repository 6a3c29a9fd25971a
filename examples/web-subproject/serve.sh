#!/usr/bin/env bash
# Stages the example in DEST and serves its web folder over HTTP on
# 127.0.0.1: picks a free port, writes it into URLDir1 of DEST/install.ins
# and into DEST/port.txt, then runs python3 -m http.server in the foreground
# (stop it with Ctrl-C or kill). The installation then runs from DEST:
#
#   examples/web-subproject/serve.sh /tmp/atlas &
#   build/native/setup /tmp/atlas/install.ins --unattended --answers=/tmp/atlas/answers.txt
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 DEST" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
dest=$1
rm -rf "$dest" && mkdir -p "$dest"
cp -r "$here/." "$dest/"
dest=$(cd "$dest" && pwd)
cd "$dest"
touch -d '2024-04-02 16:00:00' medien/basis/* zusatz/legenden/*
touch -d '2023-10-09 07:30:00' medien/karten/* medien/hilfe/*
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# The script is Windows-1252 with CR LF line ends: only the port changes.
LC_ALL=C sed -i "s#^URLDir1=http://127\.0\.0\.1:[0-9]*/#URLDir1=http://127.0.0.1:$port/#" install.ins
rm -f port.txt
# port.txt appears once the server listens.
python3 - "$port" "$dest/web" <<'PY' &
import functools, http.server, os, sys
port, root = int(sys.argv[1]), sys.argv[2]
class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(('127.0.0.1', port), functools.partial(Quiet, directory=root))
with open(os.path.join(os.path.dirname(root), 'port.txt'), 'w') as f:
    f.write('%d\n' % port)
print('serving %s on http://127.0.0.1:%d/' % (root, port), flush=True)
server.serve_forever()
PY
server=$!
trap 'kill $server 2>/dev/null' EXIT INT TERM
wait $server

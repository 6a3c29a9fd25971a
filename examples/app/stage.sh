#!/usr/bin/env bash
# Copies the example to DEST and gives its files fixed dates, so that an
# installation of the copy has known file dates to compare (a checkout has
# the dates of the checkout). Summer and winter dates both occur: file dates
# are stored in local time.
#
#   examples/app/stage.sh DEST      (DEST is created; an existing one is replaced)
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 DEST" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$1" && mkdir -p "$1"
cp -r "$here/." "$1/"
cd "$1"
touch -d '2024-06-14 09:30:00' bin/notiz.bat bin/notiz.ico
touch -d '2024-06-14 09:31:10' bin/deinst.bat
touch -d '2023-01-02 08:00:00' bin/notiz.ini
touch -d '2022-11-03 17:45:20' vorlagen/brief.ntz vorlagen/entwurf.ntz
touch -d '2023-03-26 01:59:58' vorlagen/liste.ntz
touch -d '2024-02-29 12:00:02' vorlagen/index.dat
touch -d '2024-06-01 10:00:00' doc/handbuch.txt
touch -d '2019-12-31 23:59:58' doc/lizenz.txt

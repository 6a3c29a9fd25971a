#!/usr/bin/env bash
# Copies the example to DEST with fixed file dates and puts the two font
# files in DEST/fonts: DejaVu Sans and DejaVu Sans Mono from Debian's
# fonts-dejavu-core (/usr/share/fonts/truetype/dejavu; FONT_DIR overrides).
#
#   examples/fonts-cleanup/stage.sh DEST
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 DEST" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
fonts=${FONT_DIR:-/usr/share/fonts/truetype/dejavu}
for f in DejaVuSans.ttf DejaVuSansMono.ttf; do
    [ -f "$fonts/$f" ] || { echo "$0: $fonts/$f is missing (apt-get install fonts-dejavu-core)" >&2; exit 1; }
done
rm -rf "$1" && mkdir -p "$1/fonts"
cp -r "$here/." "$1/"
cp "$fonts/DejaVuSans.ttf" "$fonts/DejaVuSansMono.ttf" "$1/fonts/"
cd "$1"
touch -d '2021-08-05 14:20:00' fonts/*.ttf
touch -d "2024-03-01 09:00:00" prog/* qorvschr.ini qorvschr.dll qorvsc32.dll
touch -d '2024-03-01 09:00:00' prog/*.in
touch -d '2022-05-02 10:00:00' v1/prog/* v1/prog/profile/*
touch -d '2019-06-30 23:00:00' v1/prog/alt.log

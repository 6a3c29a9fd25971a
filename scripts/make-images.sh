#!/usr/bin/env bash
# Draws the program's icon, button glyphs and logo with ImageMagick into
# ui/win32/res/. The results are committed; run again after changing a drawing.
set -eu
CONVERT=${CONVERT:-convert}
out="$(cd "$(dirname "$0")/.." && pwd)/ui/win32/res"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# icon NAME SIZES... : draws $tmp/NAME-SIZE.png with draw_NAME, packs an .ico.
icon() {
    local name=$1
    shift
    local files=()
    for s in "$@"; do
        "draw_$name" "$s" "$tmp/$name-$s.png"
        files+=("$tmp/$name-$s.png")
    done
    "$CONVERT" "${files[@]}" "$out/$name.ico"
}

# A box with an arrow into it: the application (drawn at 48 pixels, scaled).
draw_setup() {
    "$CONVERT" -size 48x48 xc:none -stroke '#5a4310' -strokewidth 2 -fill '#d9b25f' \
        -draw "rectangle 6,21 42,44" -fill '#2f7d32' -stroke '#1b4d1d' \
        -draw "polygon 18,3 30,3 30,18 38,18 24,33 10,18 18,18" \
        -resize "$1x$1" "$2"
}
draw_folder() {
    "$CONVERT" -size 20x20 xc:none -stroke '#8a6d1e' -fill '#f3cf5a' \
        -draw "polygon 1,4 7,4 9,6 18,6 18,16 1,16" -fill '#f8df86' -draw "polygon 1,8 18,8 18,16 1,16" "$2"
}
draw_install() {
    "$CONVERT" -size 20x20 xc:none -stroke '#1b5e20' -strokewidth 3 -fill none \
        -draw "polyline 3,10 8,15 17,4" "$2"
}
draw_cancel() {
    "$CONVERT" -size 20x20 xc:none -stroke '#b71c1c' -strokewidth 3 \
        -draw "line 4,4 15,15" -draw "line 15,4 4,15" "$2"
}
draw_ok() {
    "$CONVERT" -size 20x20 xc:none -stroke '#1b5e20' -strokewidth 3 -fill none \
        -draw "polyline 3,10 8,15 17,4" "$2"
}
draw_info_project() {
    "$CONVERT" -size 24x24 xc:none -stroke '#0d47a1' -fill '#1e88e5' -draw "circle 12,12 12,2" \
        -stroke none -fill white -draw "rectangle 11,10 13,18" -draw "circle 12,6.5 12,5" "$2"
}
draw_info_setup() {
    "$CONVERT" -size 24x24 xc:none -stroke '#5a4310' -fill '#d9b25f' -draw "circle 12,12 12,2" \
        -stroke none -fill '#3e2b05' -draw "rectangle 11,10 13,18" -draw "circle 12,6.5 12,5" "$2"
}

icon setup 16 32 48
icon folder 20
icon install 20
icon cancel 20
icon ok 20
icon info_project 24
icon info_setup 24

# The logo of the info dialog: a 24-bit bitmap (resource "QRT_BMPA").
"$CONVERT" -size 96x64 gradient:'#f4f1d7'-'#cabb88' -stroke '#5a4310' -strokewidth 2 -fill '#d9b25f' \
    -draw "rectangle 20,26 76,58" -fill '#2f7d32' -stroke '#1b4d1d' \
    -draw "polygon 40,4 56,4 56,22 66,22 48,40 30,22 40,22" \
    -type TrueColor "BMP3:$out/logo.bmp"
echo "images written to $out"

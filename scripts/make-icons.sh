#!/usr/bin/env bash
# Draws the toolbar pictures of quillmark (32 x 32, one style): a normal picture and a highlighted
# one for the pointer. The PNGs are committed; run this again only to change them.
# On a dark palette the window redraws the normal pictures in a light colour of their own
# (analysis/shell/toolbarpictures.cpp): it tells glyph from fill by these two colours, the glyph
# colour and white, so a picture keeps to them.
set -euo pipefail
out=$(dirname "$0")/../analysis/shell/icons
mkdir -p "$out"

draw() { # name, draw primitives (use COLOR for the glyph colour)
    local name=$1 prims=$2
    for variant in normal hot; do
        if [ "$variant" = normal ]; then color='#1d4e89'; bg='none'; file="$out/$name.png"
        else color='#c2560c'; bg='#fde7c8'; file="$out/$name-hot.png"; fi
        convert -size 32x32 xc:none \
            -fill "$bg" -stroke none -draw "roundrectangle 0,0 31,31 6,6" \
            -fill none -stroke "$color" -strokewidth 2 \
            -draw "${prims//COLOR/$color}" "$file"
    done
}

draw open     "polyline 4,9 12,9 14,12 27,12 27,26 4,26 4,9 fill COLOR polygon 6,26 10,16 30,16 26,26"
draw save     "rectangle 5,5 27,27 rectangle 10,5 22,12 fill COLOR rectangle 9,18 23,27"
draw send     "rectangle 4,8 28,24 polyline 4,8 16,18 28,8"
draw print    "rectangle 9,4 23,12 rectangle 4,12 28,22 rectangle 9,18 23,28 fill COLOR circle 24,15 25,16"
draw settings "circle 16,16 16,22 stroke-dasharray 4 3 stroke-width 5 circle 16,16 16,27"
draw cut      "circle 9,23 12,26 circle 23,23 26,26 line 11,20 22,5 line 21,20 10,5"
draw copy     "rectangle 4,4 19,21 fill white rectangle 12,11 27,28"
draw paste    "rectangle 6,7 26,28 fill COLOR rectangle 11,4 21,9 stroke COLOR line 10,15 22,15 line 10,20 22,20"
draw clear    "circle 16,16 16,4 line 10,10 22,22 line 22,10 10,22"
draw build    "polygon 4,16 12,7 27,7 27,25 12,25 circle 11,16 12,17 line 17,13 24,13 line 17,19 24,19"
draw run      "fill COLOR polygon 18,3 7,18 15,18 12,29 25,13 17,13"
draw rules    "rectangle 5,4 27,28 polyline 9,10 11,12 14,8 line 17,10 24,10 polyline 9,17 11,19 14,15 line 17,17 24,17 polyline 9,24 11,26 14,22 line 17,24 24,24"
draw close    "rectangle 7,4 21,28 line 21,16 29,16 polyline 26,13 29,16 26,19 fill COLOR circle 17,16 18,17"
echo "icons written to $out"

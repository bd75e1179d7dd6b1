#!/usr/bin/env bash
# Renders the programs' icons (packaging/icons/*.svg, drawn by hand) into the PNG sizes the desktop
# icon theme and the windows use. The PNGs are committed; run this again only after changing an SVG.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh librsvg2-bin
icons=packaging/icons
for svg in "$icons"/*.svg; do
    name=$(basename "$svg" .svg)
    for size in 48 64 128 256; do
        mkdir -p "$icons/${size}x${size}"
        rsvg-convert --width "$size" --height "$size" "$svg" --output "$icons/${size}x${size}/$name.png"
    done
done
echo "icons written to $icons"

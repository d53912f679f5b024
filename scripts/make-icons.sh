#!/usr/bin/env bash
# Renders data/icons/quillery.svg into the PNG sizes of the hicolor theme. Run it after the
# SVG changes and commit the PNGs with it (ImageMagick; building Quillery does not need it).
set -euo pipefail
icons="$(cd "$(dirname "$0")/../data/icons" && pwd)"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$icons/hicolor/${size}x${size}/apps"
    convert -background none -density $((size * 3)) "$icons/quillery.svg" -resize "${size}x${size}" \
        -depth 8 -strip "PNG32:$icons/hicolor/${size}x${size}/apps/quillery.png"
done

#!/usr/bin/env bash
# Renders the PNG icons from orbiqa.svg. The PNGs are kept in the repository, so building and
# packaging need no SVG renderer; run this after changing the drawing (needs rsvg-convert, Debian
# package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 48 256; do
    rsvg-convert -w "$size" -h "$size" orbiqa.svg -o "orbiqa-$size.png"
done

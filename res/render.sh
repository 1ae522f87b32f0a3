#!/usr/bin/env bash
# Renders the SVG sources to the PNGs the window compiles in (1x and 2x).
set -euo pipefail
cd "$(dirname "$0")"
for svg in src/*.svg; do
  name=$(basename "$svg" .svg)
  convert -background none -density 96 "$svg" "$name.png"
  convert -background none -density 192 "$svg" "$name@2x.png"
done

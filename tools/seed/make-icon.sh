#!/usr/bin/env bash
# Draws demo-app.ico (16 and 32 pixels), the icon of the demo program that stands in for the
# demo machine's installed software. Run it again after changing the drawing; the icon is kept
# in the repository so builds need no ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 256x256 xc:none \
  -fill '#1f6fb2' -draw 'roundrectangle 16,16 240,240 48,48' \
  -fill '#ffffff' -draw 'polygon 128,52 196,128 128,204 60,128' \
  -fill '#f2a900' -draw 'circle 128,128 128,100' \
  -define icon:auto-resize=32,16 demo-app.ico

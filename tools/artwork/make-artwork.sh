#!/usr/bin/env bash
# Draws every picture of Sorvane.exe's window into src/app/res: the JPEG artwork that the program
# keeps as RCDATA and decodes with WIC, and the application icon. The outputs are committed, so a
# build needs no ImageMagick; run this again after changing a drawing and commit both.
#
# Palette: blue RGB(0,130,203), dark slate RGB(41,57,80), light blue-grey RGB(226,236,246), white.
# JPEG has no transparency, so every cell is painted on the background it sits on in the window:
# the header's gradient for the title-area buttons, white for the foot buttons.
#
# Usage: tools/artwork/make-artwork.sh [output-folder]
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$root/src/app/res}

fonts=/usr/share/fonts/truetype/dejavu
regular=$fonts/DejaVuSans.ttf
bold=$fonts/DejaVuSans-Bold.ttf

# Only what is missing is installed; the fonts are named by file so the drawing never depends on
# which faces fontconfig happens to prefer.
missing=()
[ -x /usr/bin/convert ] || command -v convert >/dev/null || missing+=(imagemagick)
{ [ -f "$regular" ] && [ -f "$bold" ]; } || missing+=(fonts-dejavu-core)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

blue='rgb(0,130,203)'
blue_light='rgb(72,170,226)' # the hover state of a round button
slate='rgb(41,57,80)'
mist='rgb(226,236,246)'
white='rgb(255,255,255)'
# The title area: a vertical gradient, so the header can be stretched sideways without a seam
# against the logo and the side edges.
grad_top='rgb(24,152,222)'
grad_bottom='rgb(0,104,170)'

# Where the title-area buttons sit on the header, so their cells carry the matching rows of its
# gradient: minimise and close at the top edge, Settings a little lower.
other_top=0
topbutton_top=22

# Writes one picture as a JPEG: no metadata, full-resolution colour (small glyphs keep their
# edges), always three channels.
jpeg() {
  convert "$1" -strip -colorspace sRGB -type TrueColor -sampling-factor 1x1 -quality 90 "$2"
}

# The header's gradient, 81 rows high, in any width.
gradient() {
  convert -size "$1x81" "gradient:$grad_top-$grad_bottom" "$2"
}

# ----------------------------------------------------------------------------------------------
# The mark: a rounded square holding three centred bars that grow shorter downwards, a funnel
# that lets less and less through. Drawn at 256 pixels and reduced, so small sizes stay even.
# mark SIZE SQUARE-COLOUR BAR-COLOUR FILE (transparent around the square)
mark() {
  convert -size 256x256 xc:none \
    -fill "$2" -draw 'roundrectangle 0,0 255,255 52,52' \
    -fill "$3" \
    -draw 'roundrectangle 48,58 208,90 16,16' \
    -draw 'roundrectangle 76,112 180,144 16,16' \
    -draw 'roundrectangle 104,166 152,198 16,16' \
    -filter Lanczos -resize "$1x$1" "$4"
}

# ----------------------------------------------------------------------------------------------
# Title area, edges and foot.
gradient 312 "$work/logo-bg.png"
mark 46 "$white" "$blue" "$work/mark-logo.png"
convert "$work/logo-bg.png" \
  "$work/mark-logo.png" -geometry +18+17 -composite \
  -font "$bold" -pointsize 30 -fill "$white" -annotate +76+51 'Sorvane' \
  "$work/logo.png"
jpeg "$work/logo.png" "$out/logo.jpg"

gradient 380 "$work/header.png"
jpeg "$work/header.png" "$out/header.jpg"

# The foot strip: slate with a thin blue line on top.
convert -size 692x14 "gradient:rgb(60,80,108)-$slate" \
  -fill "$blue" -draw 'rectangle 0,0 691,1' "$work/foot.png"
jpeg "$work/foot.png" "$out/foot.jpg"

# Both side edges use this one picture, so it is symmetric: the title area's gradient at the top,
# a light blue-grey frame beside the content, the foot's slate at the bottom.
gradient 9 "$work/side-top.png"
convert "$work/side-top.png" \
  \( -size 9x422 "xc:$mist" \) \
  \( "$work/foot.png" -crop 9x14+0+0 +repage \) \
  -append "$work/side.png"
jpeg "$work/side.png" "$out/side.jpg"

# Titles over the two result lists.
title() {
  convert -size 200x22 "xc:$mist" \
    -fill "$blue" -draw 'rectangle 6,6 9,15' \
    -font "$bold" -pointsize 12 -fill "$slate" -annotate +16+16 "$1" \
    "$work/$2.png"
  jpeg "$work/$2.png" "$out/$2.jpg"
}
title 'Residual software' title-r
title 'Installed software' title-n

# ----------------------------------------------------------------------------------------------
# The large round buttons of the foot, 90 by 91 on white: a disc with a white glyph and the word
# under it. Hover: a lighter disc with a light ring round it and the word in blue.
glyph() {
  case $1 in
    Scan) echo 'circle 41,32 41,21 line 49,40 57,48' ;;
    Clean) echo 'line 32,23 58,23 line 41,19 49,19 polygon 35,27 38,50 52,50 55,27
                 line 42,32 42,45 line 48,32 48,45' ;;
    Cancel) echo 'line 35,26 55,46 line 55,26 35,46' ;;
    OK) echo 'polyline 32,37 41,46 58,27' ;;
    Back) echo 'line 33,36 57,36 polyline 43,26 33,36 43,46' ;;
  esac
}

round_button() { # glyph word hover(0|1) file
  local disc=$blue word=$slate ring=$white
  if [ "$3" = 1 ]; then disc=$blue_light word=$blue ring=$mist; fi
  convert -size 90x91 "xc:$white" \
    -fill "$ring" -draw 'circle 45,36 45,5' \
    -fill "$disc" -draw 'circle 45,36 45,9' \
    -fill none -stroke "$white" -strokewidth 4.5 \
    -draw "stroke-linecap round stroke-linejoin round $1" \
    -stroke none -font "$bold" -pointsize 13 -fill "$word" -gravity north -annotate +0+70 "$2" \
    "$4"
}
cells=()
for word in Scan Clean Cancel OK Back; do
  for hover in 0 1; do
    cells+=("$work/button-${#cells[@]}.png")
    round_button "$(glyph "$word")" "$word" "$hover" "${cells[-1]}"
  done
done
convert "${cells[@]}" +append "$work/strip-button.png"
jpeg "$work/strip-button.png" "$out/strip-button.jpg"

# Minimise and close, 30 by 11 on the header's top rows. Hover: a light plate, glyph in blue.
small_button() { # glyph hover file
  local glyph=$white
  convert "$work/header.png" -crop "30x11+0+$other_top" +repage "$3"
  if [ "$2" = 1 ]; then
    glyph=$blue
    convert "$3" -fill "$mist" -draw 'roundrectangle 3,0 26,10 3,3' "$3"
  fi
  convert "$3" -fill none -stroke "$glyph" -strokewidth 1.6 -draw "$1" "$3"
}
small_button 'line 10,7 20,7' 0 "$work/other-0.png"
small_button 'line 10,7 20,7' 1 "$work/other-1.png"
small_button 'line 12,2 18,8 line 18,2 12,8' 0 "$work/other-2.png"
small_button 'line 12,2 18,8 line 18,2 12,8' 1 "$work/other-3.png"
convert "$work"/other-{0,1,2,3}.png +append "$work/strip-other.png"
jpeg "$work/strip-other.png" "$out/strip-other.jpg"

# Help and Back, 61 by 31 on the white foot: a light plate framed in blue; hover fills it blue.
plate_button() { # word hover file
  local plate=$mist word=$slate
  if [ "$2" = 1 ]; then plate=$blue word=$white; fi
  convert -size 61x31 "xc:$white" \
    -fill "$plate" -stroke "$blue" -strokewidth 1 -draw 'roundrectangle 2,3 58,27 6,6' \
    -stroke none -font "$bold" -pointsize 12 -fill "$word" -gravity center -annotate +0+0 "$1" \
    "$3"
}
plate_button 'Help' 0 "$work/help-0.png"
plate_button 'Help' 1 "$work/help-1.png"
plate_button 'Back' 0 "$work/help-2.png"
plate_button 'Back' 1 "$work/help-3.png"
convert "$work"/help-{0,1,2,3}.png +append "$work/strip-help.png"
jpeg "$work/strip-help.png" "$out/strip-help.jpg"

# Top buttons, 78 by 18 on the header: a framed plate, blank or with its word. Hover: a light
# plate with the word in blue.
top_button() { # word hover file
  local plate='rgb(40,160,226)' frame='rgb(170,214,240)' word=$white
  if [ "$2" = 1 ]; then plate=$mist frame=$white word=$blue; fi
  convert "$work/header.png" -crop "78x18+0+$topbutton_top" +repage \
    -fill "$plate" -stroke "$frame" -strokewidth 1 -draw 'roundrectangle 1,1 76,16 5,5' \
    -stroke none -font "$regular" -pointsize 11 -fill "$word" -gravity center -annotate +0+0 "$1" \
    "$3"
}
top_button '' 0 "$work/top-0.png"
top_button '' 1 "$work/top-1.png"
top_button 'Settings' 0 "$work/top-2.png"
top_button 'Settings' 1 "$work/top-3.png"
convert "$work"/top-{0,1,2,3}.png +append "$work/strip-topbutton.png"
jpeg "$work/strip-topbutton.png" "$out/strip-topbutton.jpg"

# ----------------------------------------------------------------------------------------------
# Pictures of the notification-area menu, 16 by 16 on white: the mark, and an upward arrow on a
# blue disc for "Update Online".
mark 14 "$blue" "$white" "$work/mark-menu.png"
convert -size 16x16 "xc:$white" "$work/mark-menu.png" -geometry +1+1 -composite "$work/menu-app.png"
jpeg "$work/menu-app.png" "$out/menu-app.jpg"
convert -size 16x16 "xc:$white" -fill "$blue" -draw 'circle 7.5,7.5 7.5,0.5' \
  -fill none -stroke "$white" -strokewidth 1.8 \
  -draw 'stroke-linecap round stroke-linejoin round line 7.5,12 7.5,4 polyline 4.5,7 7.5,4 10.5,7' \
  "$work/menu-update.png"
jpeg "$work/menu-update.png" "$out/menu-update.jpg"

# ----------------------------------------------------------------------------------------------
# The application icon: the mark in blue, at each size.
for size in 16 32 48; do
  mark "$size" "$blue" "$white" "$work/icon-$size.png"
done
convert "$work"/icon-{16,32,48}.png "$work/sorvane.ico"
cp "$work/sorvane.ico" "$out/sorvane.ico"

echo "make-artwork: pictures written to $out"

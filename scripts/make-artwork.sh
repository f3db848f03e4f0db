#!/usr/bin/env bash
# Draws the installer's banner (350 x 75) and icon (32 x 32), both 256 colours, into the resources.
# The PNGs are committed; run this only to change the artwork.
set -euo pipefail
out="$(dirname "$0")/../src/setup/resources"
convert -size 350x75 gradient:'#0b3d5c'-'#1a8a8a' \
  \( -size 350x75 xc:none -stroke '#9fe3e0' -strokewidth 1.5 \
     -draw "line 230,20 270,45" -draw "line 270,45 315,18" -draw "line 270,45 300,62" \
     -draw "line 230,20 255,8" -draw "line 315,18 338,40" -draw "line 300,62 338,40" \
     -fill '#ffffff' -stroke '#ffffff' -draw "circle 230,20 234,20" -draw "circle 270,45 275,45" \
     -draw "circle 315,18 319,18" -draw "circle 300,62 303,62" -draw "circle 255,8 258,8" \
     -draw "circle 338,40 341,40" \) -composite \
  -font Liberation-Serif-Bold -pointsize 34 -fill white -stroke none -annotate +18+44 'Vantiro' \
  -font Liberation-Sans -pointsize 12 -fill '#d8f4f2' -annotate +20+63 'Network utility  ·  Setup' \
  -colors 256 PNG8:"$out/banner.png"
convert -size 32x32 xc:none -fill '#0b3d5c' -draw "roundrectangle 0,0 31,31 6,6" \
  -stroke '#9fe3e0' -strokewidth 1.5 -draw "line 8,10 16,20" -draw "line 16,20 25,9" -draw "line 16,20 16,27" \
  -stroke none -fill white -draw "circle 8,10 10,10" -draw "circle 25,9 27,9" -draw "circle 16,20 18.5,20" \
  -draw "circle 16,27 18,27" -colors 256 PNG8:"$out/icon.png"

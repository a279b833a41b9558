#!/usr/bin/env bash
# Draws the splash picture and the error-report dialog's error symbol with ImageMagick, in the
# colours of scripts/make-images.sh. The results are committed under resources/images.
set -euo pipefail
out="$(cd "$(dirname "$0")/.." && pwd)/resources/images"
mkdir -p "$out"
font=DejaVu-Sans
bold=DejaVu-Sans-Bold
dark='rgb(51,102,0)'

# Splash 500 x 305 (the window shows the top 304 rows).
convert -size 500x305 gradient:"rgb(190,225,110)"-"rgb(95,150,20)" \
  -fill 'rgba(255,255,255,0.16)' -draw "circle 430,40 600,120" \
  -fill 'rgba(255,255,255,0.10)' -draw "circle 40,300 200,200" \
  -fill 'rgba(255,255,255,0.92)' -draw "roundrectangle 40,200 460,206 3,3" \
  -fill "$dark" -draw "roundrectangle 40,200 250,206 3,3" \
  -font "$bold" -pointsize 56 -fill 'rgba(0,0,0,0.25)' -annotate +42+122 'Brenvik' \
  -fill white -annotate +40+120 'Brenvik' \
  -font "$font" -pointsize 16 -fill 'rgb(245,252,230)' -annotate +44+152 'Memory washer and system utility' \
  -pointsize 12 -annotate +40+232 'Loading...' \
  -pointsize 11 -fill 'rgb(235,245,215)' -annotate +40+284 'Version 7.1.0' \
  -quality 92 "$out/splash.jpg"

# Error symbol 32 x 32: a white cross on a red disc.
convert -size 32x32 xc:none \
  -fill 'rgb(150,20,20)' -draw "circle 16,16 16,1" \
  -fill 'rgb(220,40,40)' -draw "circle 16,15 16,2" \
  -stroke white -strokewidth 4 -draw "line 10,9 22,21" -draw "line 22,9 10,21" \
  "$out/error.png"
echo "pictures written to $out"

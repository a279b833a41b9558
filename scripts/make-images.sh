#!/usr/bin/env bash
# Draws the program's pictures (header, footer, exit cross, navigation icons) with ImageMagick.
# The results are committed under resources/images; run this again after changing a drawing.
set -euo pipefail
out="$(cd "$(dirname "$0")/.." && pwd)/resources/images"
mkdir -p "$out"
font=DejaVu-Sans
bold=DejaVu-Sans-Bold
green='rgb(143,188,46)'
dark='rgb(51,102,0)'

# Header 774 x 120: banner with the product name, and the minimise and close symbols that the
# transparent areas at (715,18) and (739,19) sit on.
convert -size 774x120 gradient:"rgb(95,150,20)"-"rgb(190,225,110)" -rotate 0 \
  -fill 'rgba(255,255,255,0.18)' -draw "circle 640,-60 820,140" \
  -fill 'rgba(255,255,255,0.10)' -draw "circle 90,170 260,40" \
  -font "$bold" -pointsize 44 -fill white -annotate +28+68 'Brenvik' \
  -font "$font" -pointsize 15 -fill 'rgb(240,250,225)' -annotate +31+96 'Memory washer and system utility' \
  -fill 'rgba(255,255,255,0.85)' -stroke 'rgb(51,102,0)' -strokewidth 1 \
  -draw "roundrectangle 715,18 736,40 3,3" \
  -stroke none -fill "$dark" -draw "rectangle 720,33 731,35" \
  -quality 92 "$out/header.jpg"

# Footer 774 x 45.
convert -size 774x45 gradient:"rgb(253,250,241)"-"rgb(214,232,170)" \
  -fill "$green" -draw "rectangle 0,0 774,2" \
  -font "$font" -pointsize 11 -fill 'rgb(80,110,30)' -annotate +14+29 'Brenvik 7.1.0' \
  -quality 92 "$out/footer.jpg"

# Exit cross 14 x 14, red on transparent.
convert -size 14x14 xc:none -fill 'rgb(220,30,30)' -draw "roundrectangle 0,0 13,13 3,3" \
  -stroke white -strokewidth 2 -draw "line 4,4 9,9" -draw "line 9,4 4,9" "$out/exit.png"

# Navigation icons 21 x 21.
icon() { convert -size 21x21 xc:none "$@"; }
icon -fill "$green" -draw "roundrectangle 2,4 18,16 2,2" -fill white -draw "rectangle 5,7 15,13" \
  -fill "$green" -draw "rectangle 7,9 8,13" -draw "rectangle 10,8 11,13" -draw "rectangle 13,10 14,13" "$out/nav-memory.png"
icon -fill "$green" -draw "circle 10,10 10,2" -fill white -draw "circle 10,10 10,6" "$out/nav-options.png"
icon -fill "$dark" -draw "rectangle 3,3 17,17" -fill white -draw "rectangle 5,6 15,7" \
  -draw "rectangle 5,10 15,11" -draw "rectangle 5,14 12,15" "$out/nav-process.png"
icon -fill "$green" -draw "polygon 4,3 17,10 4,17" "$out/nav-startup.png"
icon -fill 'rgb(60,110,200)' -draw "circle 10,10 10,2" -fill white -draw "rectangle 9,8 11,15" \
  -draw "rectangle 9,5 11,6" "$out/nav-sysinfo.png"
icon -fill none -stroke "$dark" -strokewidth 2 -draw "arc 3,3 17,17 40,340" \
  -fill "$dark" -stroke none -draw "polygon 14,2 19,7 13,8" "$out/nav-restore.png"
icon -fill 'rgb(60,110,200)' -draw "circle 10,10 10,2" -fill white -font "$bold" -pointsize 13 \
  -annotate +6+15 '?' "$out/nav-help.png"
icon -fill "$green" -draw "circle 10,10 10,2" -fill white -font "$bold" -pointsize 13 \
  -annotate +8+15 'i' "$out/nav-about.png"
# Tray icon 32 x 32: a memory chip with a drop, drawn large and scaled down for smooth edges. The
# scalable desktop icon, resources/brenvik.svg, is the same drawing.
convert -size 128x128 xc:none \
  -fill 'rgb(95,150,20)' -stroke "$dark" -strokewidth 6 -draw "roundrectangle 4,4 123,123 22,22" \
  -stroke none -fill white -draw "roundrectangle 30,44 97,87 5,5" \
  -draw "rectangle 36,32 43,44" -draw "rectangle 52,32 59,44" -draw "rectangle 68,32 75,44" \
  -draw "rectangle 84,32 91,44" -draw "rectangle 36,87 43,99" -draw "rectangle 52,87 59,99" \
  -draw "rectangle 68,87 75,99" -draw "rectangle 84,87 91,99" \
  -fill 'rgb(60,110,200)' -draw "circle 64,74 64,86" -draw "polygon 53,68 64,50 75,68" \
  -resize 32x32 "$out/tray.png"
echo "pictures written to $out"

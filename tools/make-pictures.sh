#!/usr/bin/env bash
# Draws the pictures stored with the windows' composition and the program icon, and writes them
# to resources/. Their output is committed; run this again only to change a picture.
#   design_photo.jpg  776 x 496 baseline JPEG: the front of a classic car
#   title_banner.jpg  576 x 71 baseline JPEG: title lettering and three model years
#   dialog_photo.bmp  293 x 115 24-bit uncompressed BMP: a red convertible on white
#   quildor.ico       32 x 32, 16 colours with mask: a car seen from the front
#   quildor.png       the same icon as PNG, for the Linux desktop entry
# Also draws the sample photographs that `make run` shows, in samples/QUILDORS/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/resources"
IM=/usr/bin/convert
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A car front on a backdrop: $1 width, $2 height, $3 body colour, $4 backdrop top, $5 backdrop
# bottom, $6 script lettering, $7 output (PNG).
car_front() {
  local w=$1 h=$2 body=$3 top=$4 bottom=$5 script=$6 png=$7
  local sx; sx=$(awk "BEGIN{print $w/776}")
  local sy; sy=$(awk "BEGIN{print $h/496}")
  "$IM" -size "${w}x${h}" "gradient:${top}-${bottom}" \
    -draw "scale $sx,$sy
           fill '#1b1b1b' rectangle 0,410 776,496
           fill '$body' path 'M 40,250 C 120,140 300,95 388,95 C 476,95 656,140 736,250 L 760,330 L 16,330 Z'
           fill '#00000044' path 'M 70,250 C 160,170 300,140 388,140 C 476,140 616,170 706,250 Z'
           fill '#ffffff33' path 'M 150,170 C 250,120 330,110 388,110 C 330,125 250,140 180,185 Z'
           fill '#c9ccd1' roundrectangle 210,250 566,372 28,28
           fill '#2a2d31' roundrectangle 226,262 550,360 20,20
           stroke '#e9ecef' stroke-width 7
           line 250,266 250,356 line 280,266 280,356 line 310,266 310,356 line 340,266 340,356
           line 370,266 370,356 line 400,266 400,356 line 430,266 430,356 line 460,266 460,356
           line 490,266 490,356 line 520,266 520,356
           stroke none
           fill '#f5f5f5' circle 110,300 110,255 fill '#fffbe6' circle 110,300 110,270
           fill '#f5f5f5' circle 666,300 666,255 fill '#fffbe6' circle 666,300 666,270
           fill '#d8dbe0' roundrectangle 20,372 756,418 20,20
           fill '#9aa0a8' rectangle 20,396 756,402
           fill '#d4af37' circle 388,228 388,206 fill '$body' circle 388,228 388,214
           fill '#111111' roundrectangle 40,418 140,470 10,10 fill '#111111' roundrectangle 636,418 736,470 10,10" \
    -font DejaVu-Serif-Bold-Italic -pointsize "$(awk "BEGIN{print 54*$sy}")" -fill '#eef1f4' \
    -stroke '#6b6f75' -strokewidth 1 -gravity north -annotate "+0+$(awk "BEGIN{print int(150*$sy)}")" "$script" \
    -attenuate 0.25 +noise Gaussian -blur 0x0.6 "$png"
}

car_front 776 496 '#a3161a' '#87a9c9' '#d9e2ea' Quildor "$tmp/design.png"
"$IM" "$tmp/design.png" -strip -interlace none -sampling-factor 2x2 -quality 93 "$out/design_photo.jpg"

"$IM" -size 576x71 gradient:'#4a2a14'-'#2e1709' \
  -font DejaVu-Serif-Bold -pointsize 30 -fill '#fdf3b5' -gravity west -annotate +14+0 'The Quildor Anthology' \
  -font DejaVu-Serif-Bold-Italic -pointsize 16 -fill '#f6e58d' -gravity east -annotate +40-21 '1955' \
  -annotate +40+0 '1956' -annotate +40+21 '1957' \
  -stroke '#fdf3b5' -strokewidth 2 -draw 'line 430,8 430,63' \
  -strip -interlace none -quality 92 "$out/title_banner.jpg"

"$IM" -size 293x115 xc:white -draw "
    fill '#b3141b' path 'M 12,72 C 14,58 30,52 60,50 L 110,46 L 132,30 L 140,30 L 128,48 L 200,48 C 240,48 270,52 282,62 L 284,80 L 12,82 Z'
    fill '#7d0d12' rectangle 20,66 280,69
    fill '#9fd3f0' path 'M 118,47 L 134,31 L 138,31 L 126,47 Z'
    fill '#202020' circle 66,84 66,62 circle 230,84 230,62
    fill '#c8ccd2' circle 66,84 66,72 circle 230,84 230,72
    fill '#e5e5e5' rectangle 8,78 30,82 rectangle 266,78 288,82" \
  -blur 0x0.4 -type TrueColor BMP3:"$out/dialog_photo.bmp"

python3 "$here/tools/make-icon.py" "$out/quildor.ico"
# The same icon as PNG, for the Linux desktop entry.
"$IM" "$out/quildor.ico" -strip PNG32:"$out/quildor.png"

# Sample photographs for `make run`, named by the collection's convention.
samples="$here/samples/QUILDORS"
mkdir -p "$samples"
car_front 640 480 '#1d4f91' '#f2c57c' '#fbe9d0' Quildor "$tmp/s1.png"
"$IM" "$tmp/s1.png" -quality 85 "$samples/55COUPE.JPG"
car_front 800 500 '#2e7d32' '#9ad0ec' '#e8f4fb' Quildor "$tmp/s2.png"
"$IM" "$tmp/s2.png" -quality 85 "$samples/56SEDAN.JPG"
car_front 700 450 '#f0f0f0' '#424242' '#9e9e9e' Ostrevan "$tmp/s3.png"
"$IM" "$tmp/s3.png" -quality 85 "$samples/SP0001.JPG"
"$IM" -size 600x420 xc:'#f3e3c3' -draw "fill '#8e2a1e' roundrectangle 60,40 540,380 20,20 fill '#f3e3c3' roundrectangle 90,70 510,350 14,14" \
  -font DejaVu-Serif-Bold -pointsize 40 -fill '#8e2a1e' -gravity center -annotate +0-30 'QUILDOR' \
  -pointsize 22 -annotate +0+30 'Safety Matches' -quality 85 "$samples/MA0001.JPG"
"$IM" -size 640x400 xc:'#1c3d6e' -draw "fill '#ffd54f' roundrectangle 40,40 600,360 30,30 fill '#1c3d6e' roundrectangle 70,70 570,330 20,20" \
  -font DejaVu-Sans-Bold -pointsize 48 -fill '#ffd54f' -gravity center -annotate +0+0 'SERVICE' -quality 85 "$samples/VM0002.JPG"

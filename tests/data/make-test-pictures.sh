#!/usr/bin/env bash
# Writes the small pictures the loader tests read, one per format, each 64 x 48 pixels: the left
# half red, the right half blue. Their output is committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"
IM=/usr/bin/convert
"$IM" -size 32x48 xc:'#ff0000' -size 32x48 xc:'#0000ff' +append +repage /tmp/quildor-test.png
"$IM" /tmp/quildor-test.png -quality 95 -interlace none baseline.jpg
"$IM" /tmp/quildor-test.png -quality 95 -interlace plane progressive.jpg
"$IM" /tmp/quildor-test.png -type TrueColor BMP3:picture.bmp
"$IM" /tmp/quildor-test.png picture.png
# Two frames: the first is the picture, the second is all green.
"$IM" /tmp/quildor-test.png \( -size 64x48 xc:'#00ff00' \) -set delay 50 -loop 0 animated.gif
printf 'This is a text file, not a photograph.\n' > text.jpg
head -c 300 baseline.jpg > truncated.jpg
"$IM" baseline.jpg -colorspace CMYK -quality 95 cmyk.jpg
rm -f /tmp/quildor-test.png

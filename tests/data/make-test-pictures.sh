#!/usr/bin/env bash
# Writes the small pictures the loader tests read, one per format, each 64 x 48 pixels: the left
# half red, the right half blue; then the turned, colour-managed, transparent and cut-off ones
# described below. Their output is committed; run this again only to change them.
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
"$IM" baseline.jpg -colorspace CMYK -quality 95 cmyk.jpg
rm -f /tmp/quildor-test.png

# More kinds, each the same red | blue picture: grayscale JPEG (dark | light), 16-bit PNG,
# paletted PNG and 8-bit paletted BMP.
"$IM" -size 32x48 xc:'#ff0000' -size 32x48 xc:'#0000ff' +append +repage /tmp/quildor-test.png
"$IM" /tmp/quildor-test.png -colorspace Gray -quality 95 gray.jpg
"$IM" /tmp/quildor-test.png -depth 16 PNG48:picture16.png
"$IM" /tmp/quildor-test.png -type Palette PNG8:palette.png
# An 8-bit BMP with a palette of 256 colours (ImageMagick would write the fewest bits that hold
# the two colours used): rows of 64 indices, bottom-up, red (index 1) left and blue (2) right.
python3 - <<'PY'
import struct
palette = bytearray(4 * 256)
palette[4:8] = bytes((0, 0, 255, 0))    # index 1: red, stored blue-green-red-zero
palette[8:12] = bytes((255, 0, 0, 0))   # index 2: blue
pixels = bytes([1] * 32 + [2] * 32) * 48
offset = 14 + 40 + len(palette)
header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
info = struct.pack("<IiiHHIIiiII", 40, 64, 48, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
open("palette.bmp", "wb").write(header + info + palette + pixels)
PY

# One JPEG per EXIF orientation: upright, a red quarter in the top-left corner and blue
# elsewhere (64 x 48); stored turned the other way, with the tag that stands it upright again.
"$IM" -size 64x48 xc:'#0000ff' -fill '#ff0000' -draw 'rectangle 0,0 31,23' /tmp/quildor-upright.png
turns=(none -flop "-rotate 180" -flip -transpose "-rotate 270" -transverse "-rotate 90")
for o in 1 2 3 4 5 6 7 8; do
  t=${turns[$((o - 1))]}
  [ "$t" = none ] && t=""
  # shellcheck disable=SC2086
  "$IM" /tmp/quildor-upright.png $t -strip -quality 95 /tmp/quildor-turned.jpg
  python3 set-orientation.py /tmp/quildor-turned.jpg "orientation$o.jpg" "$o"
done

# Colour managed: rgb(40,80,200) in Adobe RGB (1998), which is rgb(0,79,205) in sRGB. Needs
# Debian's colord-data for the profiles.
icc=/usr/share/color/icc/colord
"$IM" -size 64x48 'xc:rgb(40,80,200)' -profile "$icc/AdobeRGB1998.icc" -quality 98 adobergb.jpg
"$IM" -size 64x48 'xc:rgb(40,80,200)' -profile "$icc/AdobeRGB1998.icc" adobergb.png

# Transparency: the left half fully transparent red, the right half half-transparent blue
# (alpha 128), written directly, since ImageMagick blackens fully transparent pixels.
python3 - <<'PY'
import struct, zlib
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
row = b"\0" + bytes((255, 0, 0, 0)) * 32 + bytes((0, 0, 255, 128)) * 32
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 64, 48, 8, 6, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(row * 48)) + chunk(b"IEND", b"")
open("transparent.png", "wb").write(png)
PY

# Files that end before their picture does: cut in the middle of their picture data.
"$IM" -size 64x48 plasma:red-blue -seed 7 -quality 95 /tmp/quildor-detail.jpg
cut() { head -c $(( $(stat -c %s "$1") * 3 / 5 )) "$1" > "$2"; }
cut /tmp/quildor-detail.jpg truncated.jpg
cut picture.bmp truncated.bmp
"$IM" /tmp/quildor-test.png -size 64x48 plasma:red-blue -append /tmp/quildor-tall.gif
cut /tmp/quildor-tall.gif truncated.gif
rm -f /tmp/quildor-test.png /tmp/quildor-upright.png /tmp/quildor-turned.jpg \
  /tmp/quildor-detail.jpg /tmp/quildor-tall.gif

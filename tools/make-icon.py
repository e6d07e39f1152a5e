#!/usr/bin/env python3
"""make-icon.py ICO [SVG]: writes the program icon: 32 x 32 pixels, 16 colours (4 bits per pixel)
with a transparency mask, as a .ico file of one image (766 bytes). The picture is a car seen from
the front in red, white and grey; everything outside the car is transparent. With SVG, also the
same drawing as a scalable picture (the shapes themselves, on the same 32 x 32 grid), which
desktop menus draw sharp at any size."""
import struct
import sys

# The standard 16-colour palette.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, GREY, DARK_GREY, RED, YELLOW, WHITE = 0, 1, 7, 8, 9, 11, 15
CLEAR = None

W = H = 32
px = [[CLEAR] * W for _ in range(H)]
shapes = []   # the SVG elements, in drawing order


def svg_colour(c):
    return "#%02x%02x%02x" % PALETTE[c]


def rect(x0, y0, x1, y1, c):
    shapes.append('<rect x="%d" y="%d" width="%d" height="%d" fill="%s"/>'
                  % (x0, y0, x1 - x0 + 1, y1 - y0 + 1, svg_colour(c)))
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            px[y][x] = c


def ellipse(cx, cy, rx, ry, c):
    # A pixel is filled when its index lies inside; its area is centred half a pixel further.
    shapes.append('<ellipse cx="%g" cy="%g" rx="%g" ry="%g" fill="%s"/>'
                  % (cx + 0.5, cy + 0.5, rx, ry, svg_colour(c)))
    for y in range(H):
        for x in range(W):
            if ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0:
                px[y][x] = c


# Roof and windscreen.
rect(9, 6, 22, 7, RED)
rect(7, 8, 24, 12, RED)
rect(9, 8, 22, 11, GREY)
rect(10, 9, 21, 10, WHITE)
# Body.
rect(3, 13, 28, 22, RED)
rect(2, 15, 29, 21, RED)
rect(3, 13, 28, 13, DARK_RED)
# Headlights.
ellipse(6.5, 16.5, 2.2, 2.2, WHITE)
ellipse(25.5, 16.5, 2.2, 2.2, WHITE)
rect(6, 16, 6, 16, YELLOW)
rect(25, 16, 25, 16, YELLOW)
# Grille.
rect(11, 15, 20, 20, GREY)
for x in range(12, 20, 2):
    rect(x, 16, x, 19, DARK_GREY)
# Bumper.
rect(1, 22, 30, 24, WHITE)
rect(1, 24, 30, 24, GREY)
# Wheels.
rect(4, 25, 8, 28, BLACK)
rect(23, 25, 27, 28, BLACK)

rows = []
mask_rows = []
for y in reversed(range(H)):   # bottom-up, as a DIB
    row = bytearray()
    for x in range(0, W, 2):
        a = px[y][x] or 0
        b = px[y][x + 1] or 0
        row.append((a << 4) | b)
    rows.append(bytes(row))
    bits = 0
    for x in range(W):
        bits = (bits << 1) | (1 if px[y][x] is None else 0)
    mask_rows.append(struct.pack(">I", bits))

header = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 4, 0, (W * H) // 2 + (W * H) // 8, 0, 0, 16, 0)
palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
image = header + palette + b"".join(rows) + b"".join(mask_rows)
icon = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", W, H, 16, 0, 1, 4, len(image), 22) + image
assert len(icon) == 766, len(icon)
with open(sys.argv[1], "wb") as f:
    f.write(icon)

if len(sys.argv) > 2:
    with open(sys.argv[2], "w") as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
                'viewBox="0 0 %d %d">\n' % (W, H))
        for shape in shapes:
            f.write("  %s\n" % shape)
        f.write("</svg>\n")

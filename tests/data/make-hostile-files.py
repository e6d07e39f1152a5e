#!/usr/bin/env python3
"""Writes the hostile picture files the loader tests refuse: headers that declare 60,000 x 60,000
pixels (JPEG, PNG, GIF), truncated files and an empty file. Their output is committed; run this
again only to change them."""
import os
import struct
import zlib

here = os.path.dirname(os.path.abspath(__file__))


def write(name, data):
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)


# A JPEG whose frame header claims 60000 x 60000: the picture's real start, with the size
# fields of its SOF0 segment changed.
with open(os.path.join(here, "baseline.jpg"), "rb") as f:
    jpeg = bytearray(f.read())
sof = jpeg.index(b"\xff\xc0")
struct.pack_into(">HH", jpeg, sof + 5, 60000, 60000)
write("bomb.jpg", bytes(jpeg))


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


# A PNG of 60000 x 60000 whose image data is one short compressed run.
ihdr = struct.pack(">IIBBBBB", 60000, 60000, 8, 2, 0, 0, 0)
write("bomb.png", b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
      chunk(b"IDAT", zlib.compress(b"\x00" * 1000)) + chunk(b"IEND", b""))

# A GIF with a 60000 x 60000 screen and one 60000 x 60000 image.
gif = b"GIF89a" + struct.pack("<HHBBB", 60000, 60000, 0x80, 0, 0) + b"\x00\x00\x00\xff\xff\xff"
gif += b"\x2c" + struct.pack("<HHHHB", 0, 0, 60000, 60000, 0) + b"\x02\x02\x44\x01\x00\x3b"
write("bomb.gif", gif)

with open(os.path.join(here, "picture.png"), "rb") as f:
    png = f.read()
write("truncated.png", png[:len(png) // 2])
write("empty.jpg", b"")

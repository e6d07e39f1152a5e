#!/usr/bin/env python3
"""set-orientation.py IN.jpg OUT.jpg N: writes IN.jpg with an Exif block (APP1) right after its
start marker whose IFD0 holds only the orientation tag, N (1 to 8), as cameras record it."""
import struct
import sys

source, target, orientation = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(source, "rb").read()
assert data[:2] == b"\xff\xd8", "not a JPEG"
# Big-endian TIFF: header, IFD0 at offset 8 with one entry (0x0112, SHORT, count 1), no next IFD.
tiff = b"MM\x00\x2a" + struct.pack(">I", 8) + struct.pack(">H", 1)
tiff += struct.pack(">HHIHH", 0x0112, 3, 1, orientation, 0) + struct.pack(">I", 0)
body = b"Exif\x00\x00" + tiff
app1 = b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body
open(target, "wb").write(data[:2] + app1 + data[2:])

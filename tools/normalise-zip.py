#!/usr/bin/env python3
"""normalise-zip.py ZIP: rewrites ZIP so that the same files always give the same bytes: its
entries in the order of their names, each with SOURCE_DATE_EPOCH's time (UTC), the same
permissions (folders 755, files 644) and no field of the machine that made it (owner, extended
times). CPack's zip takes the order in which the file system lists its staging folder, which
differs between file systems."""
import os
import sys
import time
import zipfile

path = sys.argv[1]
stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
with zipfile.ZipFile(path) as z:
    entries = [(info.filename, z.read(info)) for info in z.infolist()]
tmp = path + ".tmp"
with zipfile.ZipFile(tmp, "w") as z:
    for name, data in sorted(entries):
        info = zipfile.ZipInfo(name, date_time=stamp)
        info.create_system = 3   # Unix, so that the permissions below are read
        folder = name.endswith("/")
        info.external_attr = ((0o40755 if folder else 0o100644) << 16) | (0x10 if folder else 0)
        info.compress_type = zipfile.ZIP_STORED if folder else zipfile.ZIP_DEFLATED
        z.writestr(info, data, compresslevel=9)
os.replace(tmp, path)

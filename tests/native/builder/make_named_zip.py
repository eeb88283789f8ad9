#!/usr/bin/env python3
"""make_named_zip.py OUT.zip NAME...: a zip with one small stored member per
NAME (empty for a name ending in '/'), named with exactly those bytes (given as Python byte literals, e.g.
'a\\x00b'), so that names zipfile would refuse or cut (a NUL) can be made."""
import ast
import struct
import sys
import zipfile

out, names = sys.argv[1], [ast.literal_eval("b'" + name + "'") for name in sys.argv[2:]]
placeholders = [bytes([65 + index]) * len(name) for index, name in enumerate(names)]  # no one a prefix of another
with zipfile.ZipFile(out, "w", zipfile.ZIP_STORED) as archive:
    for placeholder, name in zip(placeholders, names):
        content = b"" if name.endswith(b"/") else b"data\n"  # a folder entry carries no data
        archive.writestr(zipfile.ZipInfo(placeholder.decode(), (2024, 1, 1, 0, 0, 0)), content)
data = bytearray(open(out, "rb").read())
for placeholder, name in zip(placeholders, names):
    for signature, name_at in ((b"PK\x03\x04", 30), (b"PK\x01\x02", 46)):
        at = 0
        while (at := data.find(signature, at)) >= 0:
            if data[at + name_at:at + name_at + len(name)] == placeholder:
                data[at + name_at:at + name_at + len(name)] = name
            at += 4
open(out, "wb").write(bytes(data))

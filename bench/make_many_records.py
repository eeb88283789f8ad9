#!/usr/bin/env python3
"""make_many_records.py OUT.zip LOCAL_COUNT CENTRAL_COUNT: the input of the
readers' benchmark, a zip of LOCAL_COUNT empty stored members (one-byte
names, so that local headers are packed as tightly as the format allows)
whose central directory lists the first CENTRAL_COUNT of them. Put into an
installer as it is (tvsfx build --verbatim), it is the worst case of what
verify and info walk and match: every local header a record of its own."""
import struct
import sys

out, local_count, central_count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
local = struct.Struct("<IHHHHHIIIHH")
central = struct.Struct("<IHHHHHHIIIHHHHHII")
with open(out, "wb") as f:
    for index in range(local_count):
        f.write(local.pack(0x04034B50, 10, 0, 0, 0, 0x21, 0, 0, 0, 1, 0) + b"%c" % (97 + index % 26))
    central_offset = f.tell()
    for index in range(central_count):
        f.write(central.pack(0x02014B50, 20, 10, 0, 0, 0, 0x21, 0, 0, 0, 1, 0, 0, 0, 0, 0, index * 31) +
                b"%c" % (97 + index % 26))
    central_bytes = f.tell() - central_offset
    f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, central_count, central_count, central_bytes,
                        central_offset, 0))

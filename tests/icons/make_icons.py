#!/usr/bin/env python3
"""The .ico files the resource tests give to tvsfx --icon, made by icoutils'
icotool (not by our code) from solid PNG squares written here:
    make_icons.py OUTDIR
  one.ico        one 32x32 image, green
  several.ico    16x16 red, 32x32 green (4-bit bitmaps), 48x48 blues (a
                 gradient: a 24-bit bitmap)
  png256.ico     the three above and a 256x256 magenta PNG kept compressed
  truncated.ico  several.ico cut inside its last image
  renamed.ico    a PNG file named .ico
The colours (at each square's centre) let a reader tell which image
Windows picked."""
import os
import struct
import subprocess
import sys
import zlib

COLOURS = {16: (255, 0, 0), 32: (0, 200, 0), 48: (0, 0, 255), 256: (255, 0, 255)}


def png(size, rgb):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    rows = b''
    for y in range(size):
        if size == 48:  # a gradient of blues: more colours than a palette holds
            rows += b'\0' + b''.join(bytes((x * 5, y * 5, 255, 255)) for x in range(size))
        else:  # the colour framed in black, a white corner: a 4-bit palette, not a 1-bit (monochrome) icon
            row = [(0, 0, 0) if y in (0, size - 1) or x in (0, size - 1) else rgb for x in range(size)]
            if y == 0:
                row[0] = (255, 255, 255)
            rows += b'\0' + b''.join(bytes(pixel + (255,)) for pixel in row)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    pngs = {}
    for size, rgb in COLOURS.items():
        pngs[size] = os.path.join(out, 'square%d.png' % size)
        with open(pngs[size], 'wb') as f:
            f.write(png(size, rgb))
    icotool = ['icotool', '-c', '-o']
    subprocess.run(icotool + [os.path.join(out, 'one.ico'), pngs[32]], check=True)
    subprocess.run(icotool + [os.path.join(out, 'several.ico'), pngs[16], pngs[32], pngs[48]], check=True)
    subprocess.run(icotool + [os.path.join(out, 'png256.ico'), pngs[16], pngs[32], pngs[48],
                              '--raw=' + pngs[256]], check=True)
    with open(os.path.join(out, 'several.ico'), 'rb') as f:
        several = f.read()
    with open(os.path.join(out, 'truncated.ico'), 'wb') as f:
        f.write(several[:len(several) - 100])
    with open(pngs[32], 'rb') as f, open(os.path.join(out, 'renamed.ico'), 'wb') as g:
        g.write(f.read())


main()

#!/usr/bin/env python3
"""Draws the program's icon (a parcel with a down arrow) as a 16-colour .ico
with 32x32 and 16x16 images. Deterministic; run by the build:
    make_icon.py OUT.ico
16 colours keep the icon under 1.1 KiB: every KiB of the stub counts."""
import struct
import sys

PALETTE = [  # the 16 VGA colours, BGR0 order in the file
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
TRANSPARENT, BLACK, BROWN, YELLOW, GREEN, DARK_GREEN = None, 0, 3, 11, 10, 2


def draw(size):
    """Returns rows (top first) of palette indices or None for transparent."""
    s = size / 32.0
    px = [[TRANSPARENT] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = colour

    rect(3, 12, 29, 30, BLACK)        # parcel outline
    rect(4, 13, 28, 29, BROWN)        # parcel
    rect(4, 13, 28, 15, YELLOW)       # lid edge
    rect(14, 13, 18, 29, YELLOW)      # tape
    rect(13, 1, 19, 9, DARK_GREEN)    # arrow shaft
    rect(14, 1, 18, 9, GREEN)
    for i in range(6):                # arrow head
        rect(9 + i, 8 + i, 23 - i, 9 + i, GREEN)
    return px


def image(size):
    px = draw(size)
    xor_row = (size * 4 + 31) // 32 * 4
    and_row = (size + 31) // 32 * 4
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         size * (xor_row + and_row), 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor, mask = b'', b''
    for row in reversed(px):          # bottom-up
        nibbles = [0 if c is None else c for c in row]
        line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor += line.ljust(xor_row, b'\0')
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c is None else 0)
        mask += bits.to_bytes(size // 8, 'big').ljust(and_row, b'\0')
    return header + palette + xor + mask


def main(out):
    sizes = [32, 16]
    images = [image(n) for n in sizes]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, img in zip(sizes, images):
        data += struct.pack('<BBBBHHII', n, n, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    with open(out, 'wb') as f:
        f.write(data + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1])

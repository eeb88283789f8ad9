#!/usr/bin/env python3
"""Writes seed inputs for fuzz_inflate into the folder given: raw deflate
streams from zlib (every strategy, small texts and binaries) and a few stored
and fixed blocks, each behind the fuzzer's three control bytes."""
import os
import random
import sys
import zlib

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
rng = random.Random(1)
samples = [
    b"",
    b"the decoder keeps what the window holds " * 20,
    bytes(rng.randrange(256) for _ in range(700)),
    bytes(rng.choice(b"ab") for _ in range(900)),
    b"\x00" * 3000,
    bytes(range(256)) * 3,
]
count = 0
for sample in samples:
    for level, strategy in [(0, 0), (1, 0), (6, 0), (9, 1), (9, 2), (9, 3), (9, 4)]:
        z = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
        stream = z.compress(sample) + z.flush()
        for control in (0x00, 0x0E, 0x01):  # deflate, tiny refills, Deflate64
            capacity = min(len(sample) + 1, 0xFFFF)
            path = os.path.join(folder, "seed-%03d" % count)
            with open(path, "wb") as seed:
                seed.write(bytes([control, capacity & 0xFF, capacity >> 8]) + stream)
            count += 1

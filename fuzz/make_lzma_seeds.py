#!/usr/bin/env python3
"""Writes seed inputs for fuzz_lzma into the folder given: raw LZMA1 streams
from Python's lzma module (liblzma) with their end marker, in the zip method
14 form, behind the fuzzer's three control bytes, for several lc/lp/pb and
dictionary sizes."""
import lzma
import os
import random
import sys

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
rng = random.Random(1)
samples = [
    b"",
    b"a",
    b"the decoder keeps what the dictionary holds " * 40,
    bytes(rng.randrange(256) for _ in range(700)),
    bytes(rng.choice(b"ab") for _ in range(900)),
    b"\x00" * 3000,
    bytes(range(256)) * 20,
]
count = 0
for sample in samples:
    for lc, lp, pb, dict_size in [(3, 0, 2, 4096), (0, 0, 0, 4096), (4, 0, 4, 65536), (0, 4, 1, 4096), (1, 2, 3, 8192)]:
        filters = [{"id": lzma.FILTER_LZMA1, "lc": lc, "lp": lp, "pb": pb, "dict_size": dict_size, "preset": 6}]
        stream = lzma.compress(sample, format=lzma.FORMAT_RAW, filters=filters)
        props = lzma._encode_filter_properties(filters[0])
        member = bytes([9, 20, 5, 0]) + props + stream
        for control in (0x01, 0x0F):  # marker with whole chunks, marker with 1-byte refills
            size = len(sample)
            path = os.path.join(folder, "seed-%03d" % count)
            with open(path, "wb") as seed:
                seed.write(bytes([control, size & 0xFF, size >> 8]) + member)
            count += 1

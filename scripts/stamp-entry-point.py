#!/usr/bin/env python3
"""Writes a linked stub's own AddressOfEntryPoint into its ParameterBlock.

    stamp-entry-point.py STUB.exe

Run after the link. The block as compiled holds only its marker; with the
entry point in place, a stub that was never completed passes its own PE check
and reaches the completion word, so it says it is incomplete instead of
calling itself damaged. The builder writes the same value again when it
completes the stub. The marker must occur exactly once.
"""
import struct
import sys

MARKER = b"KDX\x01sfx\x02"
PB_ENTRY_POINT = 54     # offset of the entry point within the block
DOS_E_LFANEW = 60
PE_ENTRY_POINT = 40     # AddressOfEntryPoint within the NT headers (PE32 and PE32+)


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        image = bytearray(f.read())
    block = image.find(MARKER)
    if block < 0 or image.find(MARKER, block + 1) >= 0:
        sys.exit("%s: the ParameterBlock marker must occur exactly once" % path)
    nt = struct.unpack_from("<I", image, DOS_E_LFANEW)[0]
    if image[nt:nt + 4] != b"PE\0\0":
        sys.exit("%s: no PE signature" % path)
    entry_point = struct.unpack_from("<I", image, nt + PE_ENTRY_POINT)[0]
    struct.pack_into("<I", image, block + PB_ENTRY_POINT, entry_point)
    with open(path, "r+b") as f:
        f.write(image)


if __name__ == "__main__":
    main()

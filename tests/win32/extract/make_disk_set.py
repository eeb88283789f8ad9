#!/usr/bin/env python3
"""Lays a spanned installer out as a set of disks, one folder per disk:
    make_disk_set.py INSTALLER OUTDIR exe|zip CUT CUT
INSTALLER is a finished installer with flags bit 12 (and bit 15 for exe
naming) whose archive follows its header. The archive's bytes are cut at the
two CUTs into three disks, OUTDIR/disk1..disk3, each with its volume label
(.windows-label, "PKBACK# 001" ...) and its file: INSTALL.EXE on every disk
with exe naming (disk 1's is the program and the archive's first part); with
zip naming disk 1 holds INSTALL.EXE (program and header only) and every disk
an INSTALL.ZIP, the first of them opening with the spanning marker
"PK\\x07\\x08". A CUT names a place in the archive:
    end:N    right after the data of the N-th member with data (from 0)
    start:N  right before that member's data (its header stays behind)
    mid:N:K  K bytes into that member's data
    central  right before the central directory
OUTDIR/expected-disks.txt lists each disk's file sizes for the tests.
"""
import os
import struct
import sys

MARKER = b"KDX\x01sfx\x02"


def members(data, first):
    """(data start, data end) of every member with data, and the central directory's offset."""
    found, at = [], first
    while data[at:at + 4] == b"PK\x03\x04":
        compressed, = struct.unpack_from("<I", data, at + 18)
        name_len, extra_len = struct.unpack_from("<HH", data, at + 26)
        start = at + 30 + name_len + extra_len
        if compressed:
            found.append((start, start + compressed))
        at = start + compressed
    assert data[at:at + 4] == b"PK\x01\x02", "the central directory follows the last member"
    return found, at


def place(cut, found, central):
    kind, *args = cut.split(":")
    if kind == "central":
        return central
    start, end = found[int(args[0])]
    if kind == "end":
        return end
    if kind == "start":
        return start
    if kind == "mid":
        assert start + int(args[1]) < end
        return start + int(args[1])
    raise SystemExit("unknown cut " + cut)


def main():
    installer, outdir, naming, *cuts = sys.argv[1:]
    data = open(installer, "rb").read()
    block = data.index(MARKER)
    first, = struct.unpack_from("<I", data, block + 12)
    found, central = members(data, first)
    places = [first] + sorted(place(c, found, central) for c in cuts) + [len(data)]
    parts = [data[places[i]:places[i + 1]] for i in range(len(places) - 1)]
    with open(os.path.join(outdir, "expected-disks.txt"), "w") as listing:
        for number, part in enumerate(parts, 1):
            disk = os.path.join(outdir, "disk%d" % number)
            os.makedirs(disk, exist_ok=True)
            with open(os.path.join(disk, ".windows-label"), "w") as label:
                label.write("PKBACK# %03d\n" % number)
            files = {}
            if naming == "exe":
                files["INSTALL.EXE"] = (data[:first] if number == 1 else b"") + part
            else:
                if number == 1:
                    files["INSTALL.EXE"] = data[:first]
                files["INSTALL.ZIP"] = (b"PK\x07\x08" if number == 1 else b"") + part
            for name, content in files.items():
                open(os.path.join(disk, name), "wb").write(content)
                listing.write("disk%d %s %d\n" % (number, name, len(content)))


main()

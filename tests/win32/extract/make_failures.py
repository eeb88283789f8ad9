#!/usr/bin/env python3
"""Writes the damaged and unusual archives the extraction tests run.

    make_failures.py OUT_DIR

OUT_DIR/failures/<case>.zip are archives that must end a run with a given
message; OUT_DIR/crafted/<case>.zip are unusual but sound archives whose
extraction is compared with Info-ZIP unzip's; OUT_DIR/odd/<case>.zip are
sound archives that unzip reads otherwise (it skips a directory entry of an
unknown method, normalises an impossible date), checked by their own tests. Every record is written here
byte by byte, so that each damage is exactly the one named. Deterministic.
"""
import lzma
import os
import random
import struct
import sys
import zlib

rnd = random.Random(11)
WORDS = [b"palabra%d" % i for i in range(200)]
TEXT = b" ".join(rnd.choice(WORDS) for _ in range(400))        # about 4 KiB, deflates well
SMALL = b"contenido breve\r\n" * 30                             # stored
BIG = bytes(rnd.getrandbits(8) for _ in range(300_000))         # stored, many chunks
DOS_TIME, DOS_DATE = (15 << 11) | (9 << 5) | (26 // 2), ((2021 - 1980) << 9) | (3 << 5) | 14
PASSWORD = b"clave secreta"


def deflate(data):
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    return packer.compress(data) + packer.flush()


def lzma_zip(data):
    """The zip method 14 form: version, properties size 5, properties, then
    a raw LZMA1 stream, which Python always ends with the end marker."""
    filters = [{"id": lzma.FILTER_LZMA1, "preset": 6, "dict_size": 1 << 16}]
    stream = lzma.compress(data, format=lzma.FORMAT_RAW, filters=filters)
    return bytes([9, 20, 5, 0]) + lzma._encode_filter_properties(filters[0]) + stream


class Cipher:
    """The traditional zip cipher, to write encrypted members."""

    def __init__(self, password):
        self.keys = [0x12345678, 0x23456789, 0x34567890]
        for byte in password:
            self.update(byte)

    @staticmethod
    def crc_step(crc, byte):
        return zlib.crc32(bytes([byte]), crc ^ 0xFFFFFFFF) ^ 0xFFFFFFFF

    def update(self, byte):
        k0, k1, k2 = self.keys
        k0 = self.crc_step(k0, byte)
        k1 = ((k1 + (k0 & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k2 = self.crc_step(k2, k1 >> 24)
        self.keys = [k0, k1, k2]

    def encrypt(self, data):
        out = bytearray()
        for byte in data:
            t = (self.keys[2] | 2) & 0xFFFF
            out.append(byte ^ (((t * (t ^ 1)) & 0xFFFF) >> 8))
            self.update(byte)
        return bytes(out)


class Member:
    def __init__(self, name, content=b"", method=8, flags=0, crc=None, central_name=None,
                 descriptor=False, password=None, data=None, date=DOS_DATE, time=DOS_TIME):
        self.name = name
        self.date, self.time = date, time
        self.content = content
        self.method = method
        self.flags = flags | (8 if descriptor else 0) | (1 if password else 0)
        self.crc = zlib.crc32(content) if crc is None else crc
        self.central_name = name if central_name is None else central_name
        self.descriptor = descriptor
        if data is None:
            data = deflate(content) if method in (8, 12, 99) else content
        if password:
            check = (time >> 8) if descriptor else (self.crc >> 24)
            header = bytes(rnd.getrandbits(8) for _ in range(11)) + bytes([check & 0xFF])
            data = Cipher(password).encrypt(header + data)
        self.data = data

    def fixed(self):
        return struct.pack("<HHHHHIII", 20, self.flags, self.method, self.time, self.date, self.crc,
                           len(self.data), len(self.content))

    def local(self):
        record = b"PK\x03\x04" + self.fixed() + struct.pack("<HH", len(self.name), 0) + self.name + self.data
        if self.descriptor:
            record += struct.pack("<4sIII", b"PK\x07\x08", self.crc, len(self.data), len(self.content))
        return record

    def central(self, offset):
        return (b"PK\x01\x02" + struct.pack("<H", 20) + self.fixed() +
                struct.pack("<HHHHHII", len(self.central_name), 0, 0, 0, 0,
                            0x10 if self.name.endswith(b"/") else 0, offset) + self.central_name)


def archive(members, between=None):
    """The archive's bytes and the offsets of its records: 'local' (one per
    member), 'central' (one per member) and 'end'. between maps a member's
    index to bytes put in front of its local header."""
    out, offsets = bytearray(), {"local": [], "central": []}
    for index, member in enumerate(members):
        out += (between or {}).get(index, b"")
        offsets["local"].append(len(out))
        out += member.local()
    start = len(out)
    for member, offset in zip(members, offsets["local"]):
        offsets["central"].append(len(out))
        out += member.central(offset)
    offsets["end"] = len(out)
    out += struct.pack("<4sHHHHIIH", b"PK\x05\x06", 0, 0, len(members), len(members), offsets["end"] - start,
                       start, 0)
    return bytes(out), offsets


def base_members():
    return [Member(b"uno.txt", TEXT), Member(b"dos.txt", SMALL, method=0)]


def failures():
    base, at = archive(base_members())
    name_start = lambda i: at["local"][i] + 30
    data_start = lambda i: name_start(i) + len(base_members()[i].name)
    cases = {
        # Short reads, each at the read that has its own code.
        "cut-name": base[:name_start(1) + 2],
        "cut-local-header": base[:at["local"][1] + 4 + 10],
        "cut-central": base[:at["central"][0] + 4 + 20],
        "cut-end": base[:at["end"] + 4 + 8],
        "cut-signature": base[:at["end"] + 2],
        "cut-data": base[:data_start(1) + 100],
        # Bytes between records that are no signature.
        "garbage": archive(base_members(), between={1: b"BASURA!!"})[0],
        "descriptor-signature": archive(base_members(), between={1: b"PK\x07\x08"})[0],
        # Methods and checks.
        "method-12": archive([Member(b"uno.txt", TEXT, method=12)])[0],
        "method-99": archive([Member(b"uno.txt", TEXT, method=99)])[0],
        "bad-crc": archive([Member(b"uno.txt", TEXT), Member(b"dos.txt", SMALL, method=0, crc=0x0BADC0DE)])[0],
        # Names and paths.
        "name-261": archive([Member(b"n" * 261, SMALL, method=0)])[0],
        "name-261-central": archive([Member(b"uno.txt", SMALL, method=0, central_name=b"n" * 261)])[0],
        "name-260": archive([Member(b"n" * 260, SMALL, method=0)])[0],
        "folder-260": archive([Member(b"d" * 259 + b"/", method=0)])[0],
        "bad-folder": archive([Member(b"carpeta?mala/x.txt", SMALL, method=0)])[0],
        "big": archive([Member(b"grande.bin", BIG, method=0), Member(b"despues.txt", SMALL, method=0)])[0],
    }
    encrypted = archive([Member(b"uno.txt", TEXT, password=PASSWORD)])
    cases["cut-encryption-header"] = encrypted[0][:encrypted[1]["local"][0] + 30 + 7 + 5]
    # A deflate stream damaged half way: bytes flipped where a block's codes run.
    damaged = bytearray(base)
    middle = data_start(0) + len(deflate(TEXT)) // 2
    damaged[middle:middle + 6] = bytes(b ^ 0x5A for b in damaged[middle:middle + 6])
    cases["broken-deflate"] = bytes(damaged)
    # LZMA members (method 14, end marker, bit 1): a stream damaged half way;
    # one cut short (the member's data ends inside the stream); properties
    # out of range; a dictionary over the limit for a member said to be
    # 100 MiB.
    lzma_data = lzma_zip(TEXT)
    lzma_member = lambda data: Member(b"uno.txt", TEXT, method=14, flags=2, data=data)
    damaged = bytearray(lzma_data)
    middle = len(lzma_data) // 2
    damaged[middle:middle + 6] = bytes(b ^ 0x5A for b in damaged[middle:middle + 6])
    cases["broken-lzma"] = archive([lzma_member(bytes(damaged))])[0]
    cases["cut-lzma"] = archive([lzma_member(lzma_data[:len(lzma_data) // 2])])[0]
    cases["lzma-properties"] = archive([lzma_member(lzma_data[:4] + bytes([225]) + lzma_data[5:])])[0]
    huge, huge_at = archive([lzma_member(lzma_data[:5] + struct.pack("<I", 128 << 20) + lzma_data[9:])])
    huge = bytearray(huge)
    struct.pack_into("<I", huge, huge_at["local"][0] + 22, 100 << 20)
    cases["lzma-dictionary"] = bytes(huge)
    # A name met twice, the second time with a size of 2 GiB or more: stepping
    # over it (the overwrite question answered No) must not go back to the
    # first, which would ask again, and again.
    twice = [Member(b"dos.txt", SMALL, method=0), Member(b"dos.txt", SMALL, method=0)]
    step_back, twice_at = archive(twice)
    second_data = twice_at["local"][1] + 30 + len(b"dos.txt")
    step_back = bytearray(step_back)
    struct.pack_into("<I", step_back, twice_at["local"][1] + 18, (twice_at["local"][0] - second_data) & 0xFFFFFFFF)
    cases["step-back"] = bytes(step_back)
    # Names that would write outside the target folder: one ahead of a
    # sound member, so that nothing of the archive may be written.
    for label, name in [("parent", b"../fuera.txt"), ("inner-parent", b"docs/../../fuera.txt"),
                        ("backslash-parent", b"docs\\..\\..\\fuera.txt"), ("drive", b"C:fuera.txt"),
                        ("stream", b"uno.txt:oculto"), ("unc-slashes", b"//servidor/fuera.txt"),
                        ("unc-backslashes", b"\\\\servidor\\fuera.txt"), ("empty", b""), ("root-only", b"/")]:
        cases["unsafe-" + label] = archive([Member(name, SMALL, method=0), Member(b"uno.txt", TEXT)])[0]
    # A NUL inside a stored name (counted in its length): the name before it
    # is harmless, the bytes after it make a directory entry of it. The
    # folders must not be made anywhere, least of all outside the target
    # (relative to the current folder, or at the root of its drive).
    for label, name in [("nul-folder", b"fuera/sub\0/"), ("nul-root", b"\\fuera_raiz\\sub\0/"),
                        ("nul-file", b"uno.txt\0.exe")]:
        cases["unsafe-" + label] = archive([Member(name, method=0), Member(b"uno.txt", TEXT)])[0]
    # Names Windows opens as devices, in any folder, with any extension and
    # any blanks or dots after them.
    for label, name in [("nul", b"NUL"), ("nul-dot", b"nul."), ("aux", b"AUX"), ("com1", b"COM1"),
                        ("folder-nul", b"docs/nul.txt"), ("lpt9", b"lpt9 .log"), ("conout", b"CONOUT$"),
                        ("con-extensions", b"Con.tar.gz"), ("com0-folder", b"docs/com0/x.txt"),
                        ("prn-folder", b"PRN /"), ("com-superscript", b"com\xb9")]:
        cases["device-" + label] = archive([Member(name, SMALL, method=0), Member(b"uno.txt", TEXT)])[0]
    return cases


def crafted():
    return {
        # Directory entries: plain, with a data descriptor after them, and
        # with the two bytes of an empty deflate stream as their data.
        "directories": archive([
            Member(b"vacia/", method=0),
            Member(b"docs/", method=0, descriptor=True),
            Member(b"datos/", method=8),
            Member(b"docs/uno.txt", TEXT, descriptor=True),
            Member(b"datos/dos.txt", SMALL, method=0),
        ])[0],
        # Encrypted and plain members in one archive, one encrypted member
        # with a data descriptor (its check byte is the time's high byte).
        "encrypted-mixed": archive([
            Member(b"uno.txt", TEXT, password=PASSWORD),
            Member(b"dos.txt", SMALL, method=0),
            Member(b"tres.txt", TEXT, password=PASSWORD, descriptor=True),
            Member(b"cuatro.txt", SMALL, method=0, password=PASSWORD),
        ])[0],
        # Bytes after a deflate stream's final block, counted in the member's
        # compressed size: more than one refill's worth, so that the decoder
        # stops well before the end of the member's data.
        "deflate-slack": archive([
            Member(b"uno.txt", TEXT, data=deflate(TEXT) + bytes((i * 37) & 0xFF for i in range(0x8000))),
            Member(b"dos.txt", SMALL, method=0),
        ])[0],
    }


def odd():
    day = lambda year, month, d: ((year - 1980) << 9) | (month << 5) | d
    return {
        # Directory entries whatever their method: AES (99), one this program
        # does not decode (12) with the two bytes of an empty stream.
        "directory-methods": archive([
            Member(b"cifrada/", method=99),
            Member(b"rara/", method=12, data=b"\x03\x00"),
            Member(b"rara/dos.txt", SMALL, method=0),
        ])[0],
        # Names with one leading separator, which is dropped: a directory
        # entry and a file in it, under the target folder.
        "leading-separator": archive([
            Member(b"/raiz/", method=0),
            Member(b"\\raiz\\vacia\\", method=0),
            Member(b"/raiz/dos.txt", SMALL, method=0),
        ])[0],
        # Days past the month's end, at 10:20:30.
        "impossible-dates": archive([
            Member(b"febrero.txt", SMALL, method=0, date=day(2021, 2, 31), time=(10 << 11) | (20 << 5) | 15),
            Member(b"bisiesto.txt", SMALL, method=0, date=day(2020, 2, 30), time=(10 << 11) | (20 << 5) | 15),
            Member(b"siglo.txt", SMALL, method=0, date=day(2100, 2, 29), time=(10 << 11) | (20 << 5) | 15),
            Member(b"abril.txt", SMALL, method=0, date=day(2021, 4, 31), time=(10 << 11) | (20 << 5) | 15),
        ])[0],
        # A name whose last byte is 0x5C as the trail byte of a double-byte
        # character under code page 932 (0x95 0x5C), empty: a file there, a
        # directory entry under a single-byte code page.
        "dbcs-trail": archive([Member(b"dbcs/\x95\x5c", method=0), Member(b"dos.txt", SMALL, method=0)])[0],
    }


def main():
    out = sys.argv[1]
    for folder, cases in (("failures", failures()), ("crafted", crafted()), ("odd", odd())):
        os.makedirs(os.path.join(out, folder), exist_ok=True)
        for name, data in cases.items():
            with open(os.path.join(out, folder, name + ".zip"), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()

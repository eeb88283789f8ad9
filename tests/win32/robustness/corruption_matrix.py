#!/usr/bin/env python3
"""The corruption matrix: damaged installers run under Wine, hidden.

    corruption_matrix.py --tvsfx TVSFX --arch x86|x64 --driver MATRIX_DRIVER
        --fake-setup FAKE_SETUP --wine-run WINE_RUN_SH --wine-arch win32|win64
        --prefix PREFIX --out DIR [--sample]

Installers are built (hidden, with the test setup program as setup.exe)
from archives of several kinds: stored, deflate, Deflate64, LZMA, encrypted (traditional and AES), with
folders, with a comment. Each is then damaged in many ways, chosen
deterministically: truncated at every record boundary and inside member
data (as cut, which Windows mostly refuses to load, and with the section
shortened to fit and the CRC made right, so that the program meets the
cut), and single bits flipped in the ParameterBlock, the header, the local
and central records, the member data and the end record. ParameterBlock and
header flips come twice: as they fall, which the self-check refuses, and
with the self-check's CRC made right again, as a hostile author would, so
that the damaged values reach the code that reads them. The undamaged
installers run too, and must succeed; so do a few hostile ones, made on
purpose (see build_hostile).

matrix_driver.exe runs every variant (see its header) and this script judges
each run. A run passes when it ends in one of the program's own messages or
a clean success, exits with 0 (or 1 with the internal-error box), is not
killed at its time limit, leaves nothing in its temporary folder, and
creates, changes or removes nothing in the watched trees (its own folder,
the Wine prefix's C:\\users, a canary folder), except the report file
TVSFX32.RPT after an internal error. A table of outcomes follows, then
every failure in full. Exit status: 0 when every run passed.

--sample runs a short, spread-out sample of the same list (for make test);
--base NAME only the variants of one base (e.g. lzma), when working on it.
"""
import argparse
import collections
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import zlib

MARKER = b"KDX\x01sfx\x02"
PB_CRC, PB_FIRST_LOCAL, PB_HEADER, PB_END, PB_FLAGS = 8, 12, 16, 20, 28
PB_BYTES = 60
FLAG_SIGN_FRIENDLY = 1 << 11
PASSWORD = "clave secreta"
LIMIT_MS = 30000
SAMPLE_SIZE = 16
INTERNAL_ERROR = "Talvok internal error"
REPORT_FILE = "TVSFX32.RPT"
RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "resources")
# Message 18 "no command" and 23 "error running the command": after them, as
# after the system's own text for a failed process launch, the program keeps
# the temporary files on purpose (the user can still run the setup by hand).
COMMAND_FAILED_IDS = (18, 23)


def run(command, **kwargs):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, **kwargs)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# ------------------------------------------------------------------ bases

def make_payload(folder, fake_setup):
    """The files every base carries: the setup program, text that deflates
    well, bytes that do not, and a few nested folders."""
    rng = random.Random(1)
    os.makedirs(os.path.join(folder, "docs", "notas"))
    shutil.copy(fake_setup, os.path.join(folder, "setup.exe"))
    with open(os.path.join(folder, "docs", "leame.txt"), "wb") as out:
        out.write(b"Prueba de la matriz de da\xf1os.\r\n" * 40)
    words = ["alfa", "beta", "gamma", "delta", "eco", "foxtrot"]
    with open(os.path.join(folder, "docs", "notas", "palabras.txt"), "w") as out:
        out.write(" ".join(rng.choice(words) for _ in range(3000)))
    with open(os.path.join(folder, "datos.bin"), "wb") as out:
        out.write(bytes(rng.randrange(256) for _ in range(6000)))


def build_bases(args, work):
    payload = os.path.join(work, "payload")
    make_payload(payload, args.fake_setup)
    zips = os.path.join(work, "zips")
    os.makedirs(zips)
    env = dict(os.environ, SOURCE_DATE_EPOCH="1700000000")
    # Stored and commented archives come from Info-ZIP, Deflate64 from 7-Zip.
    run(["zip", "-q", "-r", "-0", "-D", os.path.join(zips, "stored.zip"), "."], cwd=payload)
    run(["zip", "-q", "-r", "-9", "-D", os.path.join(zips, "comment.zip"), "."], cwd=payload)
    subprocess.run(["zip", "-q", "-z", os.path.join(zips, "comment.zip")], check=True,
                   input=b"Comentario del archivo de la prueba\n")
    run(["7z", "a", "-tzip", "-mm=Deflate64", "-bd", os.path.join(zips, "deflate64.zip"), "."], cwd=payload)
    # With folders: Info-ZIP keeps the folder entries unless -D.
    run(["zip", "-q", "-r", "-9", os.path.join(zips, "folders.zip"), "."], cwd=payload)

    common = ["--quiet", "--arch", args.arch, "--hidden", "--command", "setup.exe",
              "--text", "Matriz de da\u00f1os"]
    bases = {
        "stored": ["--from-zip", os.path.join(zips, "stored.zip")],
        "deflate": ["--from-dir", payload],
        "deflate64": ["--from-zip", os.path.join(zips, "deflate64.zip")],
        "lzma": ["--from-dir", payload, "--method", "lzma"],
        "encrypted": ["--from-dir", payload, "--password", PASSWORD, "--encryption", "zipcrypto"],
        "aes": ["--from-dir", payload, "--password", PASSWORD],
        "folders": ["--from-zip", os.path.join(zips, "folders.zip")],
        "comment": ["--from-zip", os.path.join(zips, "comment.zip")],
    }
    made = {}
    for name, source in bases.items():
        path = os.path.join(work, "bases", name + ".exe")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        run([args.tvsfx, "build", "--out", path] + common + source, env=env)
        with open(path, "rb") as f:
            made[name] = f.read()
    return made


def stored_zip(members):
    """A stored zip of (name, bytes) in that order, names as given."""
    import io
    import warnings
    import zipfile
    warnings.filterwarnings("ignore", "Duplicate name", UserWarning)  # on purpose
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_STORED) as archive:
        for name, data in members:
            info = zipfile.ZipInfo(name, (2023, 11, 14, 22, 13, 20))
            archive.writestr(info, data)
    return bytearray(buffer.getvalue())


def build_hostile(args, work, canary):
    """Installers an attacker would write, put in byte for byte
    (--verbatim): names that climb out of the temporary folder or name a
    watched folder outright, a directory entry whose name holds a NUL (the
    name before it would make its folder beside the installer), and a
    member named twice whose second size
    (2 GiB or more) points back at the first. Hidden, the program replaces
    files without asking, so that size meets the extraction here; the
    overwrite question's step over it is failure_test.cpp's."""
    with open(args.fake_setup, "rb") as f:
        setup = f.read()
    archives = {
        "climb": stored_zip([("setup.exe", setup), ("../../../canary/fuera.txt", b"fuera\r\n"),
                             ("..\\..\\..\\canary\\fuera2.txt", b"fuera\r\n")]),
        "absolute": stored_zip([("setup.exe", setup),
                                (windows_path(os.path.join(canary, "absoluto.txt")), b"fuera\r\n")]),
    }
    # zipfile cuts a name at a NUL: the byte goes in afterwards, in both headers.
    archives["nul-name"] = bytearray(stored_zip([("setup.exe", setup), ("fuera/sub#/", b"")])
                                     .replace(b"fuera/sub#/", b"fuera/sub\0/"))
    twice = stored_zip([("setup.exe", setup), ("a.txt", b"primero\r\n"), ("a.txt", b"segundo\r\n")])
    first = twice.find(b"a.txt") - 30  # the first local header: its name follows 30 fixed bytes
    second = twice.find(b"PK\x03\x04", first + 4)
    second_data = second + 30 + len("a.txt")
    struct.pack_into("<I", twice, second + 18, (first - second_data) & 0xFFFFFFFF)
    archives["step-back"] = twice
    made = {}
    for name, data in archives.items():
        source = os.path.join(work, "zips", name + ".zip")
        with open(source, "wb") as out:
            out.write(data)
        path = os.path.join(work, "bases", name + ".exe")
        run([args.tvsfx, "build", "--out", path, "--quiet", "--arch", args.arch, "--hidden", "--command",
             "setup.exe", "--from-zip", source, "--verbatim"])
        with open(path, "rb") as f:
            made[name] = f.read()
    return made


# ------------------------------------------------------------------ layout

def le32(data, at):
    return struct.unpack_from("<I", data, at)[0]


def le16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def layout(data):
    """Regions of an undamaged installer, as (kind, start, end) in file
    order, and the record boundaries."""
    pb = data.find(MARKER)
    first_local, header, end = le32(data, pb + PB_FIRST_LOCAL), le32(data, pb + PB_HEADER), le32(data, pb + PB_END)
    regions = [("parameter block", pb, pb + PB_BYTES), ("header", header, first_local)]
    boundaries = {first_local, end, end + 10, len(data) - 1}
    at = first_local
    while data[at:at + 4] == b"PK\x03\x04":
        compressed, name_bytes, extra_bytes = le32(data, at + 18), le16(data, at + 26), le16(data, at + 28)
        data_at = at + 30 + name_bytes + extra_bytes
        regions.append(("local", at, data_at))
        if compressed:
            regions.append(("data", data_at, data_at + compressed))
            boundaries.add(data_at + compressed // 2)
        boundaries.update({at, at + 30, data_at})
        at = data_at + compressed + (16 if le16(data, at + 6) & 8 else 0)
    while data[at:at + 4] == b"PK\x01\x02":
        size = 46 + le16(data, at + 28) + le16(data, at + 30) + le16(data, at + 32)
        regions.append(("central", at, at + size))
        boundaries.update({at, at + 46})
        at += size
    assert at == end, "the walk meets the end record where the ParameterBlock says"
    regions.append(("end record", end, end + 22))
    return pb, regions, sorted(b for b in boundaries if 0 < b < len(data))


def self_check_crc(data, pb):
    """The CRC the self-check computes: first marker's CRC field zeroed, from
    offset 0 (or the NT headers' end, sign-friendly) to the first local
    header. None when that region is not inside the file."""
    first_local = le32(data, pb + PB_FIRST_LOCAL)
    if first_local > len(data) or pb + PB_CRC + 4 > first_local:
        return None
    region = bytearray(data[:first_local])
    region[pb + PB_CRC:pb + PB_CRC + 4] = b"\0\0\0\0"
    start = 0
    if le32(data, pb + PB_FLAGS) & FLAG_SIGN_FRIENDLY:
        nt = le32(data, 60)
        start = nt + (248 if le16(data, nt + 4) == 0x014C else 264)
    return zlib.crc32(bytes(region[start:]))


def talvok_section(data):
    """Offset of the _talvok_ section's header and its PointerToRawData."""
    nt = le32(data, 60)
    sections, optional_bytes = le16(data, nt + 6), le16(data, nt + 20)
    table = nt + 24 + optional_bytes
    for i in range(sections):
        at = table + 40 * i
        if data[at:at + 8] == b"_talvok_":
            return at, le32(data, at + 20)
    raise AssertionError("no _talvok_ section")


def fitted_cut(data, pb, cut):
    """The installer cut at cut with its last section shortened to end
    there and the self-check's CRC made right: a truncated file that
    Windows still loads, so that the program itself meets the cut."""
    section, raw_start = talvok_section(data)
    if cut <= raw_start:
        return None
    damaged = bytearray(data[:cut])
    struct.pack_into("<I", damaged, section + 16, cut - raw_start)
    crc = self_check_crc(damaged, pb)
    if crc is None:
        return None
    struct.pack_into("<I", damaged, pb + PB_CRC, crc)
    return bytes(damaged)


def variants(bases):
    """(name, kind, bytes) for every variant, deterministic."""
    out = []
    for base_name, data in sorted(bases.items()):
        pb, regions, boundaries = layout(data)
        assert self_check_crc(data, pb) == le32(data, pb + PB_CRC), "the self-check's CRC as the stub computes it"
        out.append((f"{base_name}-intact", "intact", data))
        rng = random.Random(base_name)
        for cut in boundaries:
            out.append((f"{base_name}-cut-{cut:x}", "truncated", data[:cut]))
            fitted = fitted_cut(data, pb, cut)
            if fitted:
                out.append((f"{base_name}-cut-{cut:x}-fitted", "truncated (image fitted)", fitted))
        flips_per_region = {"parameter block": 3, "header": 3, "local": 2, "central": 2, "data": 2, "end record": 3}
        for kind, start, end in regions:
            for _ in range(flips_per_region[kind]):
                at = rng.randrange(start, end)
                bit = rng.randrange(8)
                damaged = bytearray(data)
                damaged[at] ^= 1 << bit
                # A flip in the flags word's top byte may turn on --exit-codes.
                if at == pb + PB_FLAGS + 3:
                    bit_name = f"{bit}-flags"
                else:
                    bit_name = str(bit)
                out.append((f"{base_name}-flip-{at:x}.{bit_name}", kind, bytes(damaged)))
                if kind in ("parameter block", "header"):
                    crc = self_check_crc(damaged, pb)
                    if crc is not None and damaged.find(MARKER) == pb:
                        struct.pack_into("<I", damaged, pb + PB_CRC, crc)
                        out.append((f"{base_name}-flip-{at:x}.{bit_name}-crc", kind + " (CRC made right)",
                                    bytes(damaged)))
    return out


# ------------------------------------------------------------------ judging

def unescape(printable):
    """uiauto::Printable back to text (its bytes are code page 1252)."""
    raw = re.sub(rb"\\x([0-9A-Fa-f]{2})", lambda m: bytes([int(m.group(1), 16)]),
                 printable.encode("latin-1")).replace(b'\\"', b'"').replace(b"\\\\", b"\\")
    return raw.decode("cp1252", errors="replace")


def unquote(text):
    """A quoted literal of messages.txt or fixed_texts.h to its text."""
    return re.sub(r"\\(x[0-9A-Fa-f]{2}|n|r|\"|\\)",
                  lambda m: {"n": "\n", "r": "\r", '"': '"', "\\": "\\"}.get(m.group(1))
                  or chr(int(m.group(1)[1:], 16)), text)


def as_pattern(text):
    """A printf format as a pattern that its formatted texts match."""
    parts = re.split(r"%[-0-9.]*(?:h|l|ll)?[sdiuxXc]", text.rstrip("\n"))
    # ReportReadError appends its location code as " <N>".
    return re.compile("(?s:.*)".join(re.escape(part) for part in parts) + "( <[0-9]+>)?$")


def own_messages():
    """{id or name: pattern} of every text the program can show itself."""
    patterns = {}
    with open(os.path.join(RESOURCES, "es", "messages.txt"), encoding="utf-8") as table:
        for line in table:
            match = re.match(r'(\d+) "(.*)"\s*$', line)
            if match:
                patterns[int(match.group(1))] = as_pattern(unquote(match.group(2)))
    source = ""
    for fixed_texts in ("fixed_texts.h", os.path.join("es", "language_texts.h")):
        with open(os.path.join(RESOURCES, fixed_texts), encoding="utf-8") as fixed:
            source += fixed.read()
    for name, literal in re.findall(r'(TEXT_\w+)\[\] =\s*((?:"(?:[^"\\]|\\.)*"\s*)+);', source):
        text = "".join(unquote(piece) for piece in re.findall(r'"((?:[^"\\]|\\.)*)"', literal))
        patterns[name] = as_pattern(text)
    return patterns


MESSAGES = own_messages()


def message_id(text):
    """The id (or fixed text's name) whose format text matches, or None."""
    text = text.replace("\r\n", "\n").rstrip("\n")
    for key, pattern in MESSAGES.items():
        if pattern.match(text):
            return key
    return None


# The exit codes an installer built with --exit-codes may end with.
EXIT_CODE_TABLE = {"1602", "1603"} | {str(0x20000000 + n) for n in range(1, 7)}


def judge(fields, own_folder):
    """(outcome, failures) of one result line."""
    name, status, exit_code, boxes, left, changes = (fields + [""] * 6)[:6]
    texts = [unescape(t) for t in boxes.split(" | ")] if boxes else []
    messages = [t for t in texts if not t.startswith("[password") and not t.startswith("[main dialog")]
    internal = any(t.startswith(INTERNAL_ERROR) for t in messages)
    ids = [message_id(t) for t in messages]
    # The system's text for a failed launch is the one box not the program's own.
    launch_failed = bool(ids) and ids[-1] is None
    command_failed = launch_failed or (bool(ids) and ids[-1] in COMMAND_FAILED_IDS)
    if internal:
        outcome = "internal error"
    elif launch_failed:
        outcome = "system text, the command could not start: " + messages[-1].strip()
    elif messages:
        # Paths and CRC values differ from run to run; the text around them does not.
        text = re.sub(r"[A-Z]:\\\S*[^\s.]", "<path>", messages[0].replace("\n", " "))
        outcome = f"message {ids[0]}: " + re.sub(r"\b[0-9a-f]{8}\b", "<crc>", text)
    else:
        outcome = "success"
    failures = []
    if status == "notstarted" and "(error 193)" in boxes:
        # Cut inside its own image: Windows refuses to load it (bad format),
        # before any of the program runs.
        return "not loaded by Windows (bad image format)", []
    if status != "exited":
        failures.append(f"{status} (time limit {LIMIT_MS // 1000} s)")
    elif "-flags" in name and exit_code in EXIT_CODE_TABLE:
        pass  # the flip turned on --exit-codes: a code of its table
    elif exit_code not in ("0", "1") or (exit_code == "1" and not internal):
        failures.append(f"exit code {exit_code}")
    if any(i is None for i in ids[:-1]):
        failures.append("a box that is none of the program's own messages")
    if left not in ("", "0") and not command_failed:
        failures.append(f"{left} entries left in its temporary folder")
    allowed = {"+" + own_folder + "\\" + REPORT_FILE} if internal else set()
    outside = [c for c in changes.split(" ") if c and c not in allowed]
    if outside:
        failures.append("changed outside its temporary folder: " + " ".join(outside))
    return outcome, failures


def main():
    parser = argparse.ArgumentParser()
    for option in ("tvsfx", "arch", "driver", "fake-setup", "wine-run", "wine-arch", "prefix", "out"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--sample", action="store_true")
    parser.add_argument("--base", help="run only the variants of this base (stored, lzma, ...), no hostile ones")
    args = parser.parse_args()

    work = os.path.abspath(args.out)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    canary = os.path.join(work, "canary")
    made = variants(build_bases(args, work))
    made += [(f"hostile-{name}", "hostile", data) for name, data in build_hostile(args, work, canary).items()]
    if args.base:
        made = [v for v in made if v[0].startswith(args.base + "-")]
    if args.sample:
        # The intact installers, then a spread of the rest.
        # Two intact installers, the hostile ones, then a spread of the rest.
        intact = [v for v in made if v[1] == "intact"][:2]
        hostile = [v for v in made if v[1] == "hostile"]
        rest = [v for v in made if v[1] not in ("intact", "hostile")]
        by_kind = collections.OrderedDict()
        for variant in rest:
            by_kind.setdefault(variant[1], []).append(variant)
        # An even share of every kind of damage, each from the middle of its stretch.
        per_kind = max(1, (SAMPLE_SIZE - len(intact) - len(hostile)) // len(by_kind))
        spread = [group[int((j + 0.5) * len(group) / per_kind)]
                  for group in by_kind.values() for j in range(min(per_kind, len(group)))]
        made = intact + hostile + spread

    # Each variant in a folder of its own; a canary folder beside them.
    os.makedirs(canary)
    for i in range(3):
        with open(os.path.join(canary, f"canario{i}.txt"), "w") as out:
            out.write("no debe cambiar\n")
    kinds = {}
    with open(os.path.join(work, "list.txt"), "w", newline="\r\n") as listing:
        for name, kind, data in made:
            folder = os.path.join(work, "variants", name)
            os.makedirs(folder)
            path = os.path.join(folder, name + ".exe")
            with open(path, "wb") as out:
                out.write(data)
            kinds[name] = (kind, windows_path(folder))
            # Damage can make any installer ask: every run has the password.
            listing.write(f"{name}\t{windows_path(path)}\t{PASSWORD}\t{LIMIT_MS}\n")

    results = os.path.join(work, "results.txt")
    users = "C:\\users"
    subprocess.run(["bash", args.wine_run, "--arch", args.wine_arch, "--prefix", args.prefix, args.driver,
                    windows_path(os.path.join(work, "list.txt")), windows_path(results), users,
                    windows_path(canary)], check=True)

    table = collections.defaultdict(collections.Counter)
    failed = []
    seen = 0
    with open(results, encoding="latin-1") as lines:
        for line in lines:
            fields = line.rstrip("\n").split("\t")
            kind, own_folder = kinds[fields[0]]
            outcome, failures = judge(fields, own_folder)
            if kind == "intact" and outcome != "success":
                failures.append("the undamaged installer did not succeed")
            table[outcome][kind] += 1
            seen += 1
            if failures:
                failed.append((fields, outcome, failures))
    if seen != len(made):
        failed.append(([f"{len(made) - seen} variants"], "not run", ["the driver reported fewer runs than listed"]))

    columns = ["intact", "hostile", "truncated", "truncated (image fitted)", "parameter block", "parameter block (CRC made right)", "header",
               "header (CRC made right)", "local", "data", "central", "end record"]
    short = ["intact", "host", "trunc", "trfit", "pb", "pb+crc", "hdr", "hdr+crc", "local", "data", "centr", "end"]
    print(f"corruption matrix ({'sample' if args.sample else 'full'}): {seen} variants run, "
          f"{len(failed)} failed")
    print("  " + " ".join(f"{c:>6}" for c in short) + "  total  outcome")
    for outcome, counts in sorted(table.items(), key=lambda item: -sum(item[1].values())):
        print("  " + " ".join(f"{counts.get(c, 0):>6}" for c in columns) +
              f"  {sum(counts.values()):>5}  {outcome}")
    print("  " + " ".join(f"{sum(t.get(c, 0) for t in table.values()):>6}" for c in columns) +
          f"  {seen:>5}  all")
    for fields, outcome, failures in failed:
        print(f"FAILED {fields[0]}: {'; '.join(failures)}")
        print(f"    outcome {outcome}; driver line: {fields}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

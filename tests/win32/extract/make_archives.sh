#!/usr/bin/env bash
# Builds the archives and installers the extraction tests run, and what
# Info-ZIP unzip makes of each archive, the oracle they are compared with:
#   make_archives.sh TVSFX OUTDIR ARCH
# OUTDIR/<name>.exe is the installer, OUTDIR/expected/<name>/ unzip's tree.
# Archives are made by the peer tools themselves: Info-ZIP zip, 7-Zip and
# Python's zipfile. make_failures.py writes, record by record, the damaged
# archives (OUTDIR/failures/<case>.exe) and the unusual sound ones, which
# are compared with unzip's trees like the others.
# Where this runs as root, OUTDIR/full is a 64 KiB tmpfs: a disk that fills
# up (unmount_full.sh takes it away again); OUTDIR/full/tmpfs.txt says so.
set -euo pipefail
tvsfx=$1
out=$2
arch=$3
here=$(cd "$(dirname "$0")" && pwd)
"$here/unmount_full.sh" "$out"
rm -rf "$out"
mkdir -p "$out/payload/docs/sub" "$out/payload/empty" "$out/zips"
payload=$out/payload
python3 - "$payload" <<'PY'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(7)
words = [("palabra%d" % i) for i in range(300)]
text = " ".join(rnd.choice(words) for _ in range(40000)).encode()
open(os.path.join(root, "leeme.txt"), "wb").write(text)
open(os.path.join(root, "docs", "ruido.bin"), "wb").write(bytes(rnd.getrandbits(8) for _ in range(70000)))
# Far repeats: Deflate64 reaches back past deflate's 32 KiB window.
block = bytes(rnd.getrandbits(8) for _ in range(40000))
open(os.path.join(root, "docs", "sub", "lejos.dat"), "wb").write(block + b"-" * 1000 + block)
open(os.path.join(root, "docs", "vacio.txt"), "wb").write(b"")
PY
touch -d '2021-03-14 15:09:26' "$payload"/leeme.txt
touch -d '2019-07-01 08:00:00' "$payload"/docs/ruido.bin

cd "$payload"
zip -q -r -0 "$out/zips/stored.zip" .
zip -q -r -1 "$out/zips/fast.zip" .
zip -q -r -9 "$out/zips/best.zip" .
zip -q -r -6 -P 'clave secreta' "$out/zips/encrypted.zip" .
printf 'comentario del archivo\n' | zip -q -r -z "$out/zips/comment.zip" . >/dev/null
7z a -bd -tzip -mm=Deflate64 "$out/zips/deflate64.zip" . >/dev/null
7z a -bd -tzip -mm=Deflate64 -p'clave secreta' -mem=ZipCrypto "$out/zips/encrypted64.zip" . >/dev/null
python3 - "$out/zips/descriptors.zip" <<'PY'
import io, os, sys, zipfile
# Written to a stream that cannot seek: every member gets a data descriptor.
class Unseekable(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
with open(sys.argv[1], "wb") as f:
    with zipfile.ZipFile(Unseekable(f), "w", zipfile.ZIP_DEFLATED) as z:
        for base, dirs, files in sorted(os.walk(".")):
            for name in sorted(files):
                z.write(os.path.join(base, name))
PY
python3 - "$out/zips/comment-max.zip" <<'PY'
import os, sys, zipfile
# The longest archive comment the format holds (Info-ZIP's zip cuts long
# comments short, so Python's zipfile writes it).
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for base, dirs, files in sorted(os.walk(".")):
        for name in sorted(files):
            z.write(os.path.join(base, name))
    z.comment = bytes((i * 7) % 251 for i in range(65535))
PY
python3 - "$out/zips/folders.zip" <<'PY'
import sys, zipfile
# Members that go back and forth between folders, in this order: a folder
# whose name begins the previous one's ("s" after "sub"), one that the
# previous one's begins ("sub2"), a level up, a new branch three deep, back
# into a folder made earlier, and the top.
names = ["d/sub/one.txt", "d/s/two.txt", "d/sub2/three.txt", "d/four.txt", "e/f/g/five.txt",
         "d/sub/six.txt", "top.txt"]
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for index, name in enumerate(names):
        z.writestr(name, ("%s\n" % name) * (index + 1))
PY
cd "$out"

# A temporary spanning marker "PK00" in front of the first record, put into
# the installer as it is: the walk steps over it. unzip would count it as
# junk, so the expected tree is the stored archive's.
{ printf 'PK00'; cat zips/stored.zip; } >marker.zip
mkdir -p expected/marker
unzip -q -d expected/marker zips/stored.zip
"$tvsfx" build --quiet --arch "$arch" --out marker.exe --from-zip marker.zip --verbatim

# Archives spanned over three disks (make_disk_set.py): deflated members
# cut inside a member's data and before the central directory, with ".ZIP"
# naming; stored members cut right after one member's data and right before
# another's, with ".EXE" naming.
mkdir -p span/zip span/exe
"$tvsfx" build --quiet --arch "$arch" --out span/zip.exe --from-zip zips/best.zip --flags 0x1000
python3 "$here/make_disk_set.py" span/zip.exe span/zip zip mid:0:1000 central
"$tvsfx" build --quiet --arch "$arch" --out span/exe.exe --from-zip zips/stored.zip --flags 0x9000
python3 "$here/make_disk_set.py" span/exe.exe span/exe exe end:1 start:2

# LZMA members (method 14): 7-Zip's (with the end marker, bit 1 set), plain
# and encrypted, and the builder's own (--method lzma, no end marker), plain,
# encrypted and spanned over three disks with a cut inside an LZMA stream.
# unzip has no LZMA: the expected tree is the payload itself with each
# file's time set from its member's DOS time as unzip sets it (local time
# under the rule of the file's own date; 7-Zip's extraction would take
# today's rule, and its writer takes today's rule too, an hour off in
# summer). The native tests compare 7-Zip's extraction byte for byte.
mkdir -p lzma
(cd "$payload" && 7z a -bd -tzip -mm=LZMA "$out/lzma/7z-lzma.zip" . >/dev/null &&
    7z a -bd -tzip -mm=LZMA -p'clave secreta' -mem=ZipCrypto "$out/lzma/7z-lzma-encrypted.zip" . >/dev/null)
for name in 7z-lzma 7z-lzma-encrypted; do
    "$tvsfx" build --quiet --arch "$arch" --out "$name.exe" --from-zip "lzma/$name.zip"
done
"$tvsfx" build --quiet --arch "$arch" --out lzma-built.exe --from-dir "$payload" --method lzma
"$tvsfx" build --quiet --arch "$arch" --out lzma-built-encrypted.exe --from-dir "$payload" --method lzma \
    --password 'clave secreta'
for name in 7z-lzma 7z-lzma-encrypted lzma-built lzma-built-encrypted; do
    mkdir -p expected
    cp -a "$payload" "expected/$name"
    python3 - "$name.exe" "expected/$name" <<'PY'
import os, sys, time, zipfile
for member in zipfile.ZipFile(sys.argv[1]).infolist():
    if not member.is_dir():
        when = time.mktime(member.date_time + (0, 0, -1))
        os.utime(os.path.join(sys.argv[2], member.filename), (when, when))
PY
done
# AES members (method 99, AE-2) as 7-Zip writes them: deflate at each key
# strength, Deflate64, LZMA and stored, and one archive that mixes plain,
# traditionally encrypted and AES members (7-Zip keeps the members already in
# an archive as they are when it adds others). unzip reads no AES: the
# expected trees are made as for LZMA above.
mkdir -p aes
(cd "$payload" &&
    7z a -bd -tzip -mem=AES256 -p'clave secreta' "$out/aes/7z-aes256.zip" . >/dev/null &&
    7z a -bd -tzip -mem=AES128 -mm=Deflate64 -p'clave secreta' "$out/aes/7z-aes128-deflate64.zip" . >/dev/null &&
    7z a -bd -tzip -mem=AES192 -mm=LZMA -p'clave secreta' "$out/aes/7z-aes192-lzma.zip" . >/dev/null &&
    7z a -bd -tzip -mem=AES256 -mm=Copy -p'clave secreta' "$out/aes/7z-aes256-stored.zip" . >/dev/null &&
    7z a -bd -tzip "$out/aes/aes-mixed.zip" leeme.txt empty >/dev/null &&
    7z a -bd -tzip -mem=ZipCrypto -p'clave secreta' "$out/aes/aes-mixed.zip" docs/ruido.bin >/dev/null &&
    7z a -bd -tzip -mem=AES256 -p'clave secreta' "$out/aes/aes-mixed.zip" docs/sub docs/vacio.txt >/dev/null)
# AE-1, which stores the CRC and has it checked beside the code: 7-Zip's
# AE-2 archive with each member's version field made 1 and its CRC filled in.
python3 - aes/7z-aes256.zip aes/ae1.zip "$payload" <<'PY'
import os, struct, sys, zlib
data = bytearray(open(sys.argv[1], "rb").read())
def crc_of(name):
    path = os.path.join(sys.argv[3], name.decode())
    return zlib.crc32(open(path, "rb").read()) if os.path.isfile(path) else 0
def mend(at, fixed, lengths_at, crc_at):
    name_bytes, extra_bytes = struct.unpack_from("<HH", data, at + lengths_at)
    name_at = at + fixed
    name = bytes(data[name_at:name_at + name_bytes])
    extra, end = name_at + name_bytes, name_at + name_bytes + extra_bytes
    while extra + 4 <= end:
        block, size = struct.unpack_from("<HH", data, extra)
        if block == 0x9901:
            struct.pack_into("<H", data, extra + 4, 1)
            struct.pack_into("<I", data, at + crc_at, crc_of(name))
        extra += 4 + size
at = 0
while at + 4 <= len(data):
    signature = data[at:at + 4]
    if signature == b"PK\x03\x04":
        mend(at, 30, 26, 14)
        compressed, = struct.unpack_from("<I", data, at + 18)
        at += 30 + sum(struct.unpack_from("<HH", data, at + 26)) + compressed
    elif signature == b"PK\x01\x02":
        mend(at, 46, 28, 16)
        at += 46 + sum(struct.unpack_from("<HHH", data, at + 28))
    else:
        break
open(sys.argv[2], "wb").write(data)
PY
for name in 7z-aes256 7z-aes128-deflate64 7z-aes192-lzma 7z-aes256-stored aes-mixed ae1; do
    "$tvsfx" build --quiet --arch "$arch" --out "$name.exe" --from-zip "aes/$name.zip"
    cp -a "$payload" "expected/$name"
    python3 - "$name.exe" "expected/$name" <<'PY'
import os, sys, time, zipfile
for member in zipfile.ZipFile(sys.argv[1]).infolist():
    if not member.is_dir():
        when = time.mktime(member.date_time + (0, 0, -1))
        os.utime(os.path.join(sys.argv[2], member.filename), (when, when))
PY
done

mkdir -p span/lzma
"$tvsfx" build --quiet --arch "$arch" --out span/lzma.exe --from-dir "$payload" --method lzma --flags 0x1000
python3 "$here/make_disk_set.py" span/lzma.exe span/lzma zip mid:1:1000 central
# AES: one member's salt cut after 10 bytes, another's encrypted data in the
# middle; both read on across the disk change.
mkdir -p span/aes
"$tvsfx" build --quiet --arch "$arch" --out span/aes.exe --from-dir "$payload" --method lzma \
    --password 'clave secreta' --flags 0x1100
python3 "$here/make_disk_set.py" span/aes.exe span/aes zip mid:0:10 mid:1:3000

python3 "$here/make_failures.py" "$out"
# AES failures: a password other than the installer's, and one byte of the
# encrypted data of leeme.txt (stored) flipped: byte 1000 of the file.
(cd "$payload" && 7z a -bd -tzip -mem=AES256 -p'otra clave' "$out/failures/aes-wrong-password.zip" leeme.txt \
    >/dev/null && 7z a -bd -tzip -mem=AES256 -mm=Copy -p'clave secreta' "$out/failures/aes-flipped.zip" \
    leeme.txt >/dev/null)
python3 - failures/aes-flipped.zip <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
name_bytes, extra_bytes = struct.unpack_from("<HH", data, 26)
# After the local header, its name and extra, the 16-byte salt and 2-byte verifier.
data[30 + name_bytes + extra_bytes + 18 + 1000] ^= 0x20
open(sys.argv[1], "wb").write(data)
PY
for zip_file in failures/*.zip odd/*.zip; do
    "$tvsfx" build --quiet --arch "$arch" --out "${zip_file%.zip}.exe" \
        --from-zip "$zip_file" --verbatim
done
for zip_file in crafted/*.zip zips/*.zip; do
    name=$(basename "$zip_file" .zip)
    password=()
    case $name in encrypted*) password=(-P 'clave secreta') ;; esac
    mkdir -p "expected/$name"
    unzip -q "${password[@]}" -d "expected/$name" "$zip_file"
    verbatim=()
    # A comment of the longest length is rebuilt like the others: the
    # section padding then stands in front of the archive.
    case $zip_file in crafted/*) verbatim=(--verbatim) ;; esac
    "$tvsfx" build --quiet --arch "$arch" --out "$name.exe" --from-zip "$zip_file" "${verbatim[@]}"
done

# Bytes after a deflate stream's final block, cut in the middle: the step
# over them after the member is extracted goes on on the next disk. What
# follows on that disk is not a multiple of 4 bytes, so that a walk that
# passed over it 4 bytes at a time would not meet the next local header.
mkdir -p span/slack
"$tvsfx" build --quiet --arch "$arch" --out span/slack.exe --from-zip crafted/deflate-slack.zip --flags 0x1000
python3 "$here/make_disk_set.py" span/slack.exe span/slack zip mid:0:20001 central

# The public peer archives of ../shared/corpus/peer-zips, where present,
# each put in as it is. corpus/cases.txt lists them: "<file> tree" (compared
# with unzip's), "<name> runs" (names outside ASCII, which unzip renames:
# the run must only succeed) or "<file> <StringId>" (the message it ends
# with); the installer is corpus/<file without .zip>.exe.
corpus=$here/../../../../shared/corpus/peer-zips
if [ -f "$corpus/index.json" ]; then
    mkdir -p corpus
    python3 - "$corpus" corpus/cases.txt <<'PY'
import json, re, sys, zipfile
corpus, cases = sys.argv[1], sys.argv[2]
with open(cases, "w") as out:
    for entry in json.load(open(corpus + "/index.json")):
        name = entry["file"]
        if entry["expect"] == "ok":
            ascii_names = all(i.orig_filename.isascii() for i in zipfile.ZipFile(corpus + "/" + entry["file"]).infolist())
            out.write("%s %s\n" % (name, "tree" if ascii_names else "runs"))
        else:
            out.write("%s %s\n" % (name, re.search(r"StringId (\d+)", entry["model"]).group(1)))
PY
    while read -r file expect; do
        name=${file%.*}
        "$tvsfx" build --quiet --arch "$arch" --out "corpus/$name.exe" --from-zip "$corpus/$file" --verbatim
        if [ "$expect" = tree ]; then
            mkdir -p "expected/corpus-$name"
            unzip -q -d "expected/corpus-$name" "$corpus/$file"
        fi
    done <corpus/cases.txt
fi

mkdir full
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=64k talvok-full "$out/full" 2>/dev/null; then
    echo "a 64 KiB tmpfs" >full/tmpfs.txt
fi

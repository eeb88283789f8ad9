#!/usr/bin/env bash
# Builds the archives and installers the extraction tests run, and what
# Info-ZIP unzip makes of each archive, the oracle they are compared with:
#   make_archives.sh TVSFX OUTDIR ARCH
# OUTDIR/<name>.exe is the installer, OUTDIR/expected/<name>/ unzip's tree.
# Archives are made by the peer tools themselves: Info-ZIP zip, 7-Zip and
# Python's zipfile.
set -euo pipefail
tvsfx=$1
out=$2
arch=$3
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

for zip_file in zips/*.zip; do
    name=$(basename "$zip_file" .zip)
    password=()
    case $name in encrypted*) password=(-P 'clave secreta') ;; esac
    mkdir -p "expected/$name"
    unzip -q "${password[@]}" -d "expected/$name" "$zip_file"
    "$tvsfx" build --quiet --arch "$arch" --out "$name.exe" --from-zip "$zip_file"
done

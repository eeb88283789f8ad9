#!/usr/bin/env bash
# Builds the English installers the English walk-through runs (and make
# screenshots shows), each carrying the test setup program (fake_setup.exe)
# as setup.exe:
#   make_installers.sh TVSFX OUTDIR ARCH FAKE_SETUP
set -euo pipefail
tvsfx=$1
out=$2
arch=$3
fake_setup=$4
rm -rf "$out"
mkdir -p "$out/payload" "$out/large"
cp "$fake_setup" "$out/payload/setup.exe"
printf 'read me\r\n' >"$out/payload/readme.txt"
# Stored (random data does not compress) and large enough that the walk
# spends a while in it: the status line names it, and a copy cut short in
# its data meets the read error.
cp -r "$out/payload/." "$out/large/"
head -c 24000000 /dev/urandom >"$out/large/big.bin"

build() {
    local name=$1 from=$2
    shift 2
    "$tvsfx" build --quiet --arch "$arch" --language en --out "$out/$name.exe" --from-dir "$from" \
        --text "English walk-through: $name" "$@"
}
build run "$out/payload" --command setup.exe
build caption "$out/payload" --command setup.exe --title-caption
build no-command "$out/payload"
build done "$out/payload" --command setup.exe --wait
build about "$out/payload" --command setup.exe --about 'About this test' --info-button
build info "$out/payload" --command setup.exe --info 'Information for -info'
build encrypted "$out/payload" --command setup.exe --password 'secret words'
build large "$out/large" --command setup.exe
# A byte of the stub's code altered: the self-check's CRC differs.
cp "$out/run.exe" "$out/altered.exe"
printf '\x55' | dd of="$out/altered.exe" bs=1 seek=5000 conv=notrunc status=none
# The last member's local header claims 16 MiB of data that the file does
# not hold (the archive lies outside the self-check): a read error.
# The end record's signature altered: the archive is damaged.
python3 - "$out/run.exe" "$out" <<'PY'
import struct, sys
original = open(sys.argv[1], "rb").read()
data = bytearray(original)
last = data.rfind(b"PK\x03\x04")
struct.pack_into("<II", data, last + 18, 0xFFFFFF, 0xFFFFFF)
open(sys.argv[2] + "/short-read.exe", "wb").write(data)
data = bytearray(original)
data[data.rfind(b"PK\x05\x06")] = ord("X")
open(sys.argv[2] + "/damaged.exe", "wb").write(data)
PY

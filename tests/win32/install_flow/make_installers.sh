#!/usr/bin/env bash
# Builds the installers the installer-mode tests run, each carrying the
# test setup program (fake_setup.exe) as setup.exe and holder.exe:
#   make_installers.sh TVSFX OUTDIR ARCH FAKE_SETUP
set -euo pipefail
tvsfx=$1
out=$2
arch=$3
fake_setup=$4
rm -rf "$out"
mkdir -p "$out/payload/docs" "$out/large"
cp "$fake_setup" "$out/payload/setup.exe"
cp "$fake_setup" "$out/payload/holder.exe"
printf 'l\xe9ame\r\n' >"$out/payload/docs/leame.txt"
# Large enough that its end record lies past 512 KiB: the meter shows at once.
cp -r "$out/payload/." "$out/large/"
head -c 24000000 /dev/urandom >"$out/large/grande.bin"
# Small in the file but large unpacked: the meter-delay timer's first tick
# finds less than a third written and shows the meter.
mkdir -p "$out/zeros"
cp -r "$out/payload/." "$out/zeros/"
head -c 60000000 /dev/zero >"$out/zeros/ceros.bin"

build() {
    local name=$1 from=$2
    shift 2
    "$tvsfx" build --quiet --arch "$arch" --out "$out/$name.exe" --from-dir "$from" \
        --text "Prueba del modo instalador: $name" "$@"
}
payload=$out/payload
build run "$payload" --command setup.exe --parameters '/modo prueba' --argv0
build wait "$payload" --command setup.exe --parameters wait
build done "$payload" --command setup.exe --wait
build shell "$payload" --command setup.exe --parameters 'no pasan' --shell-install
build missing "$payload" --command falta.exe
build no-command "$payload"
build named "$payload" --command setup.exe --parameters spawn --wait-name holder
build hidden "$payload" --command setup.exe --hidden
build about "$payload" --command setup.exe --about 'Acerca de la prueba' --info-button
build encrypted "$payload" --command setup.exe --password 'clave secreta'
build large "$out/large" --command setup.exe
build zeros "$out/zeros" --command setup.exe

# A disk set: the installer spanned over disks of 100 KiB (two of them),
# each disk's folder labelled for Wine as labels.txt says.
mkdir -p "$out/span"
"$tvsfx" build --quiet --arch "$arch" --out "$out/span/INSTALL.EXE" --from-dir "$payload" \
    --text "Prueba del modo instalador: span" --command setup.exe --span 100k
while read -r disk label; do
    printf '%s\n' "$label" >"$out/span/$disk/.windows-label"
done <"$out/span/labels.txt"

# Exit codes: the same situations with and without --exit-codes.
mkdir -p "$out/raw"
cp "$payload/setup.exe" "$out/raw/setup.exe"
head -c 4096 /dev/urandom >"$out/raw/datos.bin"  # incompressible: stored as it is
# A file "a" and then a file inside a folder "a": the second cannot be made.
python3 - "$out/unwritable.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    archive.writestr("a", "un archivo\r\n")
    archive.writestr("a/b.txt", "dentro de a\r\n")
PY
for codes in plain codes; do
    extra=()
    [ "$codes" = codes ] && extra=(--exit-codes)
    build "$codes-3010" "$payload" --command setup.exe --parameters 'exit 3010' --hidden "${extra[@]}"
    build "$codes-missing" "$payload" --command falta.exe --hidden "${extra[@]}"
    build "$codes-no-command" "$payload" --hidden "${extra[@]}"
    build "$codes-cancel" "$payload" --command setup.exe "${extra[@]}"
    build "$codes-internal" "$payload" --command setup.exe --hidden --unchecked-fields \
        --title "$(printf 'T%.0s' {1..80})" "${extra[@]}"
    build "$codes-damaged" "$out/raw" --command setup.exe --hidden "${extra[@]}"
    # One bit of datos.bin's stored data flipped: its CRC no longer matches.
    python3 - "$out/$codes-damaged.exe" "$out/raw/datos.bin" <<'PY'
import sys
installer, member = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
at = installer.index(member[:64]) + 100
open(sys.argv[1], "r+b").write(installer[:at] + bytes([installer[at] ^ 0x10]) + installer[at + 1:])
PY
    "$tvsfx" build --quiet --arch "$arch" --out "$out/$codes-unwritable.exe" --from-zip "$out/unwritable.zip" \
        --command setup.exe --hidden "${extra[@]}"
done

# Without boxes: the damaged installer.
build silent-damaged "$out/raw" --command setup.exe --hidden --exit-codes --no-error-boxes
python3 - "$out/silent-damaged.exe" "$out/raw/datos.bin" <<'PY'
import sys
installer, member = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
at = installer.index(member[:64]) + 100
open(sys.argv[1], "r+b").write(installer[:at] + bytes([installer[at] ^ 0x10]) + installer[at + 1:])
PY
# A disk set started from a fixed drive: its label names no disk, so the
# installer asks for disk 1.
mkdir -p "$out/silent-span"
"$tvsfx" build --quiet --arch "$arch" --out "$out/silent-span/INSTALL.EXE" --from-dir "$payload" \
    --command setup.exe --span 100k --hidden --exit-codes --no-error-boxes

# A setup program that starts holder.exe and ends at once, with and without
# --wait-all.
build waitall "$payload" --command setup.exe --parameters spawn --hidden --exit-codes --wait-all
build no-waitall "$payload" --command setup.exe --parameters spawn --hidden --exit-codes
build waitall-visible "$payload" --command setup.exe --parameters spawn --exit-codes --wait-all

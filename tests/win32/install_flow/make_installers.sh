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

# Man pages of one command family: long names sharing a prefix; Wine's
# short names (hashes of the long names) of the last two are the same.
mkdir -p "$out/cleanup/man"
cp -r "$out/payload/." "$out/cleanup/"
for group in mirroring-deployment-groups mirroring-deployments mirroring-endpoint-groups \
    mirroring-endpoint-group-associations intercept-deployment-groups intercept-endpoint-groups; do
    for verb in create delete describe list update add-iam-policy-binding; do
        printf '.TH %s\n' "$group" >"$out/cleanup/man/gcloud_network-security_${group}_$verb.1"
    done
done
printf '.TH groups\n' >"$out/cleanup/man/gcloud_network-security_security-profile-groups.1"
printf '.TH meshes\n' >"$out/cleanup/man/gcloud_network-services_meshes_list.1"

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
# A command that is not in the folder goes through the system's search.
build system "$payload" --command cmd.exe --parameters '/c setup.exe system'
# A relative command with a folder and no extension (".exe" is added).
build relative "$payload" --command '.\setup'
build hidden "$payload" --command setup.exe --hidden
build about "$payload" --command setup.exe --about 'Acerca de la prueba' --info-button
build encrypted "$payload" --command setup.exe --password 'clave secreta'
build large "$out/large" --command setup.exe
build zeros "$out/zeros" --command setup.exe
build cleanup "$out/cleanup" --command setup.exe --parameters deep --hidden
# LZMA members (--method lzma), with a command that cannot start so that the
# extracted files stay for the test to compare with lzma-payload.
mkdir -p "$out/lzma-payload"
cp -r "$out/payload/." "$out/lzma-payload/"
python3 -c "import sys; sys.stdout.write(''.join('linea %d de un texto que se repite\r\n' % (i * 7 % 977) for i in range(60000)))" \
    >"$out/lzma-payload/docs/texto.txt"
build lzma "$out/lzma-payload" --command falta.exe --method lzma

# A disk set: the installer spanned over disks of 100 KiB (two of them),
# each disk's folder labelled for Wine as labels.txt says.
mkdir -p "$out/span"
"$tvsfx" build --quiet --arch "$arch" --out "$out/span/INSTALL.EXE" --from-dir "$payload" \
    --text "Prueba del modo instalador: span" --command setup.exe --span 100k
while read -r disk label; do
    printf '%s\n' "$label" >"$out/span/$disk/.windows-label"
done <"$out/span/labels.txt"

# The author's resources, one option group per installer and all at once:
# icons made by icoutils' icotool (tests/icons/make_icons.py).
python3 "$(dirname "$0")/../../icons/make_icons.py" "$out/icons"
build res-icon "$payload" --command setup.exe --icon "$out/icons/png256.ico"
build res-version "$payload" --command setup.exe --version 1.2.3.4 --product-name 'Mi Aplicación' \
    --company 'Compañía Ñ' --description 'Instala Mi Aplicación' --copyright '© 2026 Compañía Ñ'
build res-manifest "$payload" --command setup.exe --elevation requireAdministrator --dpi-aware
build res-all "$payload" --command setup.exe --icon "$out/icons/png256.ico" --version 1.2.3.4 \
    --product-name 'Mi Aplicación' --company 'Compañía Ñ' --description 'Instala Mi Aplicación' \
    --copyright '© 2026 Compañía Ñ' --elevation highestAvailable --dpi-aware --sign-friendly

# Exit codes: the same situations with and without --exit-codes.
mkdir -p "$out/raw"
cp "$payload/setup.exe" "$out/raw/setup.exe"
head -c 4096 /dev/urandom >"$out/raw/datos.bin"  # incompressible: stored as it is
# A file "a" and then a file inside a folder "a": the second cannot be made
# (the builder refuses such names, so the archive goes in --verbatim).
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
    build "$codes-password" "$payload" --command setup.exe --hidden --password 'clave secreta' "${extra[@]}"
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
        --verbatim --command setup.exe --hidden "${extra[@]}"
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

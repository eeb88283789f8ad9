#!/usr/bin/env bash
# Builds the installers the start-up tests run, with the native builder:
#   make_installers.sh TVSFX OUTDIR ARCH
# ARCH (x86 or x64) is the stub's, that of the Windows build whose tests run
# them.
# Each variant differs in what the author chose (texts, option switches);
# variants that differ only in ParameterBlock fields are made by the tests
# themselves, by patching base.exe and recomputing its CRC.
set -euo pipefail
tvsfx=$1
out=$2
arch=$3
rm -rf "$out"
mkdir -p "$out/payload"
printf 'contenido de prueba\r\n' > "$out/payload/leame.txt"

build() {
    local name=$1
    shift
    "$tvsfx" build --arch "$arch" --out "$out/$name.exe" --from-dir "$out/payload" --command 'setup.exe' "$@" >/dev/null
}

common=(--text 'Texto del diálogo de prueba' --title 'Título de prueba' --info 'Información: -t* -sta')
build base "${common[@]}"
build caption "${common[@]}" --title-caption
build auto "${common[@]}" --auto
build intro-ok "${common[@]}" --intro '¿Seguimos?'
build intro-yes-no "${common[@]}" --intro '¿Seguimos?' --intro-yes-no
build intro-ok-cancel "${common[@]}" --intro '¿Seguimos?' --intro-ok-cancel
build intro-hidden "${common[@]}" --intro '¿Seguimos?' --intro-yes-no --hidden
build no-intro-buttons --text 'sin pregunta' --intro-yes-no
build argv0 --argv0 --about 'Acerca de la prueba' --info ''
build argv0-with-parameters --argv0 --parameters '/quiet'
# Every field at its bound: an about text of 515 bytes is more than the About
# box's message holds, so it goes past the builder's check of that message.
build long-header --about "$(printf 'a%.0s' $(seq 515))" --intro "$(printf 'b%.0s' $(seq 513))" \
    --info "$(printf 'c%.0s' $(seq 511))" --text "$(printf 'd%.0s' $(seq 256))" --unchecked-fields
# A dialog text of 257 characters: one over its bound, past the builder's own check.
build oversize --text "$(printf 'x%.0s' $(seq 257))" --unchecked-fields
build exact --text "$(printf 'y%.0s' $(seq 256))"

# Signed after building, with and without the sign-friendly self-check.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$out/key.pem" -out "$out/cert.pem" \
    -subj '/CN=Talvok test signer' -days 2 >/dev/null 2>&1
for variant in friendly plain; do
    extra=()
    [ $variant = friendly ] && extra=(--sign-friendly)
    build "unsigned-$variant" "${common[@]}" "${extra[@]}"
    osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" \
        -in "$out/unsigned-$variant.exe" -out "$out/signed-$variant.exe" >/dev/null
done

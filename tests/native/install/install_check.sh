#!/usr/bin/env bash
# make install's rules from the native tree into a scratch DESTDIR and
# PREFIX: the installed tvsfx alone (it carries both stubs) reports the stubs
# this tree built, byte counts and all, and builds an installer of each
# architecture that its own verify finds sound.
#   install_check.sh NATIVE_DIR STUB32 STUB64
set -euo pipefail
native_dir=$1 stub32=$2 stub64=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
DESTDIR=$work/root cmake --install "$native_dir" --prefix /opt/tvsfx-check >/dev/null
tvsfx=$work/root/opt/tvsfx-check/bin/tvsfx
[ -x "$tvsfx" ] || { echo "FAIL: no $tvsfx"; exit 1; }
[ -f "$work/root/opt/tvsfx-check/share/doc/tvsfx/README.md" ] || { echo "FAIL: README not installed"; exit 1; }
version=$(cd / && "$tvsfx" --version)
echo "$version"
grep -Eq '^tvsfx [0-9]+\.[0-9]+\.[0-9]+$' <<<"$(head -1 <<<"$version")" || { echo "FAIL: first line"; exit 1; }
for pair in "x86:$stub32" "x64:$stub64"; do
    arch=${pair%%:*} stub=${pair#*:}
    [ -f "$stub" ] || { echo "skipped: no $arch stub at $stub"; continue; }
    bytes=$(stat -c %s "$stub")
    grep -q "^  $arch stub  .*, $bytes bytes, built in$" <<<"$version" || { echo "FAIL: $arch stub is $bytes bytes"; exit 1; }
    mkdir -p "$work/payload" && echo hola >"$work/payload/a.txt"
    (cd / && "$tvsfx" build --quiet --arch "$arch" --out "$work/$arch.exe" --from-dir "$work/payload" --command a.txt)
    (cd / && "$tvsfx" verify "$work/$arch.exe") >/dev/null || { echo "FAIL: $arch installer not sound"; exit 1; }
done
echo "install: ok"

#!/usr/bin/env bash
# Decoder benchmark: builds the corpus once (bench/make_corpus.py, from files
# on this machine, under build/), then runs inflate_bench as the i686 Windows
# build under Wine (the x86-64 one where this machine runs no 32-bit
# programs) and natively, then lzma_bench natively and as the same Windows
# build under Wine, each section ending in "lzma vs liblzma: X.XXx". Debian
# has no MinGW liblzma: scripts/mingw-liblzma.sh builds one once from
# Debian's source of the liblzma this machine has, at -O2 as Debian builds
# it, and the Windows lzma_bench is built only here, never by make test. The
# native run keeps its compressed members in the corpus folder, and the one
# under Wine decodes those very streams.
# Between them, cipher_bench under Wine: the installer's decryption with the
# traditional cipher and with AES-256 ("aes vs traditional: X.XXx").
# Prints figures; it is not a test.
#   bench.sh NATIVE_DIR WIN32_DIR WIN64_DIR [REPETITIONS]
set -euo pipefail

native_dir=$1
win32_dir=$2
win64_dir=$3
repetitions=${4:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=$root/build/bench-corpus

if [ ! -f "$corpus/manifest.txt" ]; then
    echo "== building the corpus in $corpus"
    python3 "$root/bench/make_corpus.py" "$corpus"
fi

# Wine sees / as Z:.
windows_path() { printf 'Z:%s' "$(sed 's|/|\\|g' <<<"$1")"; }

if why_not=$("$root/scripts/can-run-win32.sh"); then
    windows_dir=$win32_dir arch=win32 label=i686 mingw_host=i686-w64-mingw32
else
    echo "== no i686 figures: $why_not"
    windows_dir=$win64_dir arch=win64 label=x86-64 mingw_host=x86_64-w64-mingw32
fi
windows_bench=$windows_dir/bench/inflate_bench.exe
if [ -f "$windows_bench" ]; then
    echo "== $label Windows build under Wine (no libdeflate for MinGW: zlib only)"
    "$root/scripts/wine-run.sh" --arch $arch --prefix "$(cd "$windows_dir" && pwd)/wineprefix" "$windows_bench" \
        "$(windows_path "$corpus")" "$repetitions"
else
    echo "== no $windows_bench: Windows figures skipped"
fi

cipher_bench=$windows_dir/bench/cipher_bench.exe
if [ -f "$cipher_bench" ]; then
    echo "== $label Windows build under Wine: decryption, traditional cipher against AES-256 (CNG)"
    "$root/scripts/wine-run.sh" --arch $arch --prefix "$(cd "$windows_dir" && pwd)/wineprefix" "$cipher_bench" \
        64 "$repetitions"
else
    echo "== no $cipher_bench: decryption figures skipped"
fi

echo "== native build"
"$native_dir/bench/inflate_bench" "$corpus" "$repetitions"

echo "== LZMA: our decoder against liblzma, natively (members as --method lzma writes them)"
"$native_dir/bench/lzma_bench" "$corpus" "$repetitions" "$corpus/lzma-streams.bin"

if ! why_not=$(bash "$root/scripts/mingw-liblzma.sh" $mingw_host "$windows_dir/mingw-liblzma"); then
    echo "== no LZMA figures under Wine: $why_not"
elif ! cmake --build "$windows_dir" --target lzma_bench -j 2 >"$windows_dir/lzma_bench-build.log" 2>&1; then
    echo "== no LZMA figures under Wine: lzma_bench.exe did not build (see $windows_dir/lzma_bench-build.log)"
else
    echo "== LZMA: our decoder against liblzma, the $label Windows build under Wine" \
        "(liblzma for MinGW from Debian's source; the native run's streams)"
    "$root/scripts/wine-run.sh" --arch $arch --prefix "$(cd "$windows_dir" && pwd)/wineprefix" \
        "$windows_dir/bench/lzma_bench.exe" "$(windows_path "$corpus")" "$repetitions" \
        "$(windows_path "$corpus/lzma-streams.bin")"
fi

bash "$root/scripts/bench-builder.sh" "$native_dir"
bash "$root/scripts/bench-readers.sh" "$native_dir"

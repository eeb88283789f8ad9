#!/usr/bin/env bash
# Decoder benchmark: builds the corpus once (bench/make_corpus.py, from files
# on this machine, under build/), then runs inflate_bench as the i686 Windows
# build under Wine (the x86-64 one where this machine runs no 32-bit
# programs) and natively, then lzma_bench natively (liblzma has no MinGW
# build to compare with), whose last line is "lzma vs liblzma: X.XXx".
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

if why_not=$("$root/scripts/can-run-win32.sh"); then
    windows_dir=$win32_dir arch=win32 label=i686
else
    echo "== no i686 figures: $why_not"
    windows_dir=$win64_dir arch=win64 label=x86-64
fi
windows_bench=$windows_dir/bench/inflate_bench.exe
if [ -f "$windows_bench" ]; then
    echo "== $label Windows build under Wine (no libdeflate for MinGW: zlib only)"
    # Wine sees / as Z:.
    "$root/scripts/wine-run.sh" --arch $arch --prefix "$(cd "$windows_dir" && pwd)/wineprefix" "$windows_bench" \
        "Z:$(sed 's|/|\\|g' <<<"$corpus")" "$repetitions"
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
"$native_dir/bench/lzma_bench" "$corpus" "$repetitions"

bash "$root/scripts/bench-builder.sh" "$native_dir"
bash "$root/scripts/bench-readers.sh" "$native_dir"

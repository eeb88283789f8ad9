#!/usr/bin/env bash
# Builds liblzma for a MinGW target from Debian's own source of the liblzma
# this machine has (Debian ships no MinGW liblzma), for the Windows build of
# the LZMA benchmark (bench/lzma_bench.cpp) and nothing else: make bench
# calls it, make test never does. The source comes through apt-get source
# (install-deps.sh bench adds the deb-src entries it needs), so its
# signatures are checked as every package's are. Configured with the LZMA1
# encoder and decoder alone (the bench compresses its members itself when no
# native run left them), no threads, no tools, static, at Debian's -O2
# (its hardening flags left out).
#   mingw-liblzma.sh HOST OUT_DIR     (HOST: i686-w64-mingw32, x86_64-w64-mingw32)
# Installs OUT_DIR/include/lzma.h and OUT_DIR/lib/liblzma.a; does nothing
# when they are there. Exits 1 when the source cannot be had or does not
# build, saying why on standard output (progress goes to standard error).
set -euo pipefail

host=$1
out_dir=$2
if [ -f "$out_dir/lib/liblzma.a" ] && [ -f "$out_dir/include/lzma.h" ]; then
    exit 0
fi
version=$(dpkg-query -W -f '${source:Version}' liblzma-dev 2>/dev/null) || {
    echo "liblzma-dev is not installed"
    exit 1
}
mkdir -p "$out_dir"
prefix=$(cd "$out_dir" && pwd)
source_root=$(dirname "$prefix")/xz-utils-source
source_dir=$source_root/xz-utils-${version%%-*}
if [ ! -f "$source_dir/configure" ]; then
    echo "== apt-get source xz-utils=$version (once)" >&2
    rm -rf "$source_root"
    mkdir -p "$source_root"
    if ! (cd "$source_root" && apt-get source -q xz-utils="$version" >apt-get-source.log 2>&1) ||
        [ ! -f "$source_dir/configure" ]; then
        echo "apt-get source xz-utils=$version failed (no deb-src entries? see $source_root/apt-get-source.log)"
        exit 1
    fi
fi

echo "== building liblzma $version for $host (once)" >&2
build_dir=$prefix.build
rm -rf "$build_dir"
mkdir -p "$build_dir"
log=$build_dir/build.log
if ! (cd "$build_dir" && "$source_dir/configure" --host="$host" CC="$host-gcc-posix" CFLAGS=-O2 \
    --prefix="$prefix" --disable-shared --enable-static \
    --enable-encoders=lzma1 --enable-decoders=lzma1 --enable-checks=crc32 \
    --disable-microlzma --disable-lzip-decoder --disable-threads --disable-nls \
    --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo --disable-lzma-links \
    --disable-scripts --disable-doc &&
    make -C src/liblzma -j2 && make -C src/liblzma install) >"$log" 2>&1; then
    echo "building liblzma $version for $host failed (see $log)"
    exit 1
fi

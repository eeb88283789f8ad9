#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, as root, idempotently.
# With the argument "bench", also what make bench needs (NSIS, the extraction
# benchmark's peer).
# Quick when everything is present: it checks for the commands and headers first
# and only calls apt-get when something is missing.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_file() { [ -e "$1" ]; }

have_cmd cmake                      || need+=(cmake)
have_cmd g++                        || need+=(g++)
have_cmd make                       || need+=(make)
have_cmd clang++                    || need+=(clang)
have_cmd i686-w64-mingw32-g++       || need+=(g++-mingw-w64-i686)
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have_cmd Xvfb                       || need+=(xvfb)
have_cmd 7z                         || need+=(p7zip-full)
have_cmd zip                        || need+=(zip)
have_cmd unzip                      || need+=(unzip)
have_cmd osslsigncode               || need+=(osslsigncode)
# Independent readers of the installer's resources (icon, version, manifest).
have_cmd wrestool                   || need+=(icoutils)
/usr/bin/python3 -c 'import pefile' 2>/dev/null || need+=(python3-pefile)
have_cmd python3                    || need+=(python3)
have_cmd locale-gen                 || need+=(locales)
have_file /usr/include/gtest/gtest.h || need+=(libgtest-dev)
have_file /usr/include/zlib.h       || need+=(zlib1g-dev)
have_file /usr/include/libdeflate.h || need+=(libdeflate-dev)
have_file /usr/include/lzma.h       || need+=(liblzma-dev)
have_file /usr/include/nettle/pbkdf2.h || need+=(nettle-dev)
have_cmd xz                         || need+=(xz-utils)
have_file /usr/include/benchmark/benchmark.h || need+=(libbenchmark-dev)
# zlib for the Windows builds of the decoder benchmark (one package, both).
have_file /usr/i686-w64-mingw32/include/zlib.h || need+=(libz-mingw-w64-dev)
have_file /usr/x86_64-w64-mingw32/include/zlib.h || need+=(libz-mingw-w64-dev)
# Debian's source of liblzma, which scripts/mingw-liblzma.sh builds for
# MinGW (Debian has no MinGW liblzma): apt-get source needs deb-src entries.
# Without them the bench falls back to liblzma natively, so their absence
# stops nothing.
deb_src_ok=1
if [ "${1:-}" = bench ]; then
    have_cmd makensis               || need+=(nsis)
    have_cmd dpkg-source            || need+=(dpkg-dev)
    # grep reads to the end: with -q, apt-cache's broken pipe would fail the pipeline.
    apt-cache showsrc xz-utils 2>/dev/null | grep '^Package: xz-utils' >/dev/null || deb_src_ok=0
    [ "$(id -u)" = 0 ] || deb_src_ok=1
fi
# libFuzzer's runtime ships with clang's runtime package.
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 \
                                    || need+=(libclang-rt-dev)

# Both sides of Wine: the 32-bit one (which some kernels cannot run, see
# can-run-win32.sh) and the 64-bit one, which runs everywhere.
wine_ok=1
have_cmd wine && [ -e /usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll ] \
    && [ -x /usr/lib/wine/wine64 ] && [ -e /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/kernel32.dll ] \
    || wine_ok=0

# The locales the tests run Wine under: Wine takes the Windows code pages
# from the locale's name, but names files on the Unix side in the locale's
# own character set, so a locale that is not generated leaves it ASCII and
# no file name outside ASCII can be created.
locales_ok=1
for wanted in es_ES.utf8 ja_JP.utf8; do
    locale -a 2>/dev/null | grep -qx "$wanted" || locales_ok=0
done

if [ ${#need[@]} -eq 0 ] && [ $wine_ok -eq 1 ] && [ $locales_ok -eq 1 ] && [ $deb_src_ok -eq 1 ]; then
    exit 0
fi

if [ "$(id -u)" != 0 ]; then
    echo "missing packages (${need[*]} wine) and not root: install them by hand" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
if [ $deb_src_ok -eq 0 ]; then
    # The Debian archive's deb entries again as deb-src, in files of their
    # own (one a format): the machine's own lists stay as they were.
    for list in /etc/apt/sources.list.d/*.sources; do
        case $list in */talvok-deb-src.sources) continue ;; esac
        [ -e "$list" ] && awk 'BEGIN { RS = ""; ORS = "\n\n" }
            /Types: deb/ && /URIs: [^\n]*debian\.org/ { sub(/Types: [^\n]*/, "Types: deb-src"); print }' "$list"
    done >/etc/apt/sources.list.d/talvok-deb-src.sources
    for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        case $list in */talvok-deb-src.list) continue ;; esac
        [ -e "$list" ] && sed -n 's/^deb \(.*debian\.org.*\)$/deb-src \1/p' "$list"
    done >/etc/apt/sources.list.d/talvok-deb-src.list
    for list in /etc/apt/sources.list.d/talvok-deb-src.*; do
        [ -s "$list" ] || rm -f "$list"
    done
fi
apt-get update -q || true   # a broken i386 index is handled below

if [ ${#need[@]} -gt 0 ]; then
    # libclang-rt-dev is a virtual name on some releases; fall back to the versioned one.
    if ! apt-get install -y -q --no-install-recommends "${need[@]}"; then
        fixed=()
        for p in "${need[@]}"; do
            [ "$p" = libclang-rt-dev ] && p=libclang-rt-14-dev
            fixed+=("$p")
        done
        apt-get install -y -q --no-install-recommends "${fixed[@]}"
    fi
fi

if [ $wine_ok -eq 0 ]; then
    # The i386 index of the security suite sometimes fails to download, which leaves
    # wine32 with unmet dependencies. Pinning that suite low lets the main suite's
    # i386 packages satisfy them.
    if ! apt-get install -y -q --no-install-recommends wine wine32:i386 wine64; then
        echo "plain wine install failed; pinning the security suite and retrying" >&2
        cat > /etc/apt/preferences.d/talvok-security-pin <<'PIN'
Package: *
Pin: release l=Debian-Security
Pin-Priority: 100
PIN
        apt-get update -q || true
        apt-get install -y -q --no-install-recommends wine wine32:i386 wine64
    fi
fi

if [ $locales_ok -eq 0 ]; then
    for wanted in es_ES ja_JP; do
        grep -qx "$wanted.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "$wanted.UTF-8 UTF-8" >>/etc/locale.gen
    done
    locale-gen >/dev/null
fi

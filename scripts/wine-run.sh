#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's private prefix:
#   wine-run.sh [--arch win32|win64] --prefix DIR PROGRAM.exe [ARGS...]
# win32 (the default) runs a 32-bit program in a win32 prefix through Wine's
# 32-bit loader; win64 runs a 64-bit program in a win64 prefix of its own
# through /usr/lib/wine/wine64, with WINELOADER pointing at it. Debian's
# /usr/bin/wine cannot be used for win64: it picks the 32-bit loader whenever
# wine32 is installed, even on a kernel that runs no 32-bit programs.
# Creates the prefix on first use (once per build tree, guarded by a lock so
# parallel tests wait for each other), headless with the null display driver.
# The code pages are those of a Spanish Windows (ANSI 1252, OEM 850) unless
# TALVOK_WINE_LOCALE names another locale (ja_JP.UTF-8 gives code page 932).
# TALVOK_WINE_GRAPHICS=x11 makes a new prefix use the X11 driver on $DISPLAY
# instead (for screenshots under Xvfb); give such a prefix its own folder.
# The exit code is the Windows program's. With TALVOK_WINE_TIME_FILE set, the
# program's wall time (Wine's start to its end, without this script's own
# set-up) is written there as two EPOCHREALTIME readings, start and end.
set -euo pipefail

arch=win32
prefix=""
while [ $# -gt 0 ]; do
    case "$1" in
    --arch) arch=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    *) break ;;
    esac
done
prefix=${prefix:-${TALVOK_WINEPREFIX:-$PWD/wineprefix}}

case "$arch" in
win32) wine=wine ;;
win64)
    wine=/usr/lib/wine/wine64
    export WINELOADER=$wine
    ;;
*) echo "wine-run.sh: --arch must be win32 or win64, not $arch" >&2; exit 2 ;;
esac
export WINEPREFIX=$prefix
export WINEARCH=$arch
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: their installers would ask questions in a window.
export WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/.talvok-ready" ]; then
        rm -rf "$prefix"
        env LC_ALL=es_ES.UTF-8 "$wine" wineboot -i >/dev/null 2>&1
        env LC_ALL=es_ES.UTF-8 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics \
            /d "${TALVOK_WINE_GRAPHICS:-null}" /f >/dev/null 2>&1
        # Xvfb has no window manager: Wine draws the frames and captions itself.
        env LC_ALL=es_ES.UTF-8 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.talvok-ready"
    fi
) 9>"$prefix.lock"

# Keep the server up between the tests' programs: a fresh server per program
# costs most of a second.
wineserver -p60 </dev/null >/dev/null 2>&1 || true

# Wine's background processes (services, the desktop) inherit the first
# program's output handles and outlive it; a caller reading a pipe (ctest)
# would then wait for them. So the program writes to files, shown afterwards,
# its standard output on ours and its standard error on ours.
output=$(mktemp)
errors=$(mktemp)
trap 'rm -f "$output" "$errors"' EXIT
rc=0
start=$EPOCHREALTIME
env LC_ALL="${TALVOK_WINE_LOCALE:-es_ES.UTF-8}" "$wine" "$@" >"$output" 2>"$errors" </dev/null || rc=$?
if [ -n "${TALVOK_WINE_TIME_FILE:-}" ]; then
    echo "$start $EPOCHREALTIME" >"$TALVOK_WINE_TIME_FILE"
fi
cat "$output"
cat "$errors" >&2
exit $rc

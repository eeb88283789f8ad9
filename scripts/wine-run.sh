#!/usr/bin/env bash
# Runs a Windows program under 32-bit Wine in the build tree's private prefix:
#   wine-run.sh --prefix DIR PROGRAM.exe [ARGS...]
# Creates the prefix on first use (once per build tree, guarded by a lock so
# parallel tests wait for each other), headless with the null display driver.
# The code pages are those of a Spanish Windows (ANSI 1252, OEM 850) unless
# TALVOK_WINE_LOCALE names another locale (ja_JP.UTF-8 gives code page 932).
# The exit code is the Windows program's.
set -euo pipefail

prefix=""
if [ "${1:-}" = "--prefix" ]; then
    prefix=$2
    shift 2
fi
prefix=${prefix:-${TALVOK_WINEPREFIX:-$PWD/wineprefix}}

export WINEPREFIX=$prefix
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: their installers would ask questions in a window.
export WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/.talvok-ready" ]; then
        rm -rf "$prefix"
        env LC_ALL=es_ES.UTF-8 wineboot -i >/dev/null 2>&1
        env LC_ALL=es_ES.UTF-8 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.talvok-ready"
    fi
) 9>"$prefix.lock"

# Keep the server up between the tests' programs: a fresh server per program
# costs most of a second.
wineserver -p60 </dev/null >/dev/null 2>&1 || true

# Wine's background processes (services, the desktop) inherit the first
# program's output handles and outlive it; a caller reading a pipe (ctest)
# would then wait for them. So the program writes to a file, shown afterwards.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
rc=0
env LC_ALL="${TALVOK_WINE_LOCALE:-es_ES.UTF-8}" wine "$@" >"$output" 2>&1 </dev/null || rc=$?
cat "$output"
exit $rc

#!/usr/bin/env bash
# Exits 0 when this machine can run 32-bit Windows programs under Wine, 1 when
# not, and prints why not. Some kernels run no 32-bit programs at all (dmesg:
# "32-bit emulation disabled"); Wine's 32-bit loader then fails with "Exec
# format error". TALVOK_NO_WIN32=1 answers no on any machine, so that one that
# runs 32-bit programs can reproduce one that does not.
if [ -n "${TALVOK_NO_WIN32:-}" ] && [ "${TALVOK_NO_WIN32}" != 0 ]; then
    echo "TALVOK_NO_WIN32 is set"
    exit 1
fi
if [ ! -x /usr/lib/wine/wine ]; then
    echo "Wine's 32-bit loader is not installed"
    exit 1
fi
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "this kernel runs no 32-bit programs"
    exit 1
fi
exit 0

#!/usr/bin/env bash
# The stub starts at its own entry, without the C runtime's start-up code, so
# nothing would run a static constructor. Fails the build when an object of
# the stub has one.
#   check-no-constructors.sh NM FILE...
set -euo pipefail
nm_tool=$1
shift
found=$("$nm_tool" -A "$@" 2>/dev/null | grep -E '_GLOBAL__sub_I|_GLOBAL__I_' || true)
if [ -n "$found" ]; then
    echo "the stub has static constructors, which its entry never runs:" >&2
    echo "$found" >&2
    exit 1
fi

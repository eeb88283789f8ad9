#!/usr/bin/env bash
# The demo: runs the stub under Wine and shows what it did.
#   demo.sh NATIVE_DIR WIN32_DIR
set -euo pipefail
win32_dir=$(cd "$2" && pwd)
stub=$win32_dir/src/tvsfx32.exe
echo "stub: $stub ($(stat -c %s "$stub") bytes)"
rc=0
bash scripts/wine-run.sh --prefix "$win32_dir/wineprefix" "$stub" || rc=$?
echo "tvsfx32.exe exited with code $rc"

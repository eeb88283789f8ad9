#!/usr/bin/env bash
# Runs every test suite through ctest: native, Windows-side (under Wine) and
# the fuzz smoke pass, then prints one closing line for all of them.
#   run-tests.sh NATIVE_DIR WIN32_DIR WIN64_DIR FUZZ_DIR
# The Windows-side suites run on the 64-bit build on every machine, and on
# the 32-bit build too where the machine runs 32-bit programs (see
# can-run-win32.sh; TALVOK_NO_WIN32=1 forces the 64-bit-only path). Where the
# 32-bit build cannot run, the native builder tests still check its stub's
# image and build installers from it.
set -uo pipefail
native_dir=$1 win32_dir=$2 win64_dir=$3 fuzz_dir=$4
root=$(cd "$(dirname "$0")/.." && pwd)

dirs=("$native_dir" "$win64_dir")
if why_not=$("$root/scripts/can-run-win32.sh"); then
    dirs+=("$win32_dir")
    windows_line="Windows-side tests: 64-bit build and 32-bit build"
else
    windows_line="Windows-side tests: 64-bit build; 32-bit build not run ($why_not)"
fi
dirs+=("$fuzz_dir")
echo "$windows_line"

passed=0
failed=0
status=0
for dir in "${dirs[@]}"; do
    [ -f "$dir/CTestTestfile.cmake" ] || continue
    echo "== ctest in $dir"
    log=$(mktemp)
    (cd "$dir" && ctest --output-on-failure --timeout 600 -j "$(nproc)") 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    [ "$rc" -eq 0 ] || status=1
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
        bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    fi
    rm -f "$log"
done
# Leave no Wine server behind.
for dir in "$win32_dir" "$win64_dir"; do
    if [ -d "$dir/wineprefix" ]; then
        WINEPREFIX="$(cd "$dir" && pwd)/wineprefix" wineserver -k >/dev/null 2>&1 || true
    fi
done
echo "$windows_line"
echo "tests: $passed passed, $failed failed"
exit $status

#!/usr/bin/env bash
# Runs every test suite through ctest: native, Windows-side (under Wine) and
# the fuzz smoke pass, then prints one closing line for all of them.
#   run-tests.sh NATIVE_DIR WIN32_DIR FUZZ_DIR
set -uo pipefail

passed=0
failed=0
status=0
for dir in "$@"; do
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
if [ -n "${2:-}" ] && [ -d "$2/wineprefix" ]; then
    WINEPREFIX="$(cd "$2" && pwd)/wineprefix" wineserver -k >/dev/null 2>&1 || true
fi
echo "tests: $passed passed, $failed failed"
exit $status

#!/usr/bin/env bash
# The readers' benchmark: tvsfx verify and tvsfx info --json on an installer
# of many records (bench/make_many_records.py: 1,000,000 local headers, of
# which the central directory lists 65,534), with the wall time and the
# peak memory of each, next to the installer's size. Prints figures; it is
# no test.
#   bench-readers.sh NATIVE_DIR
set -euo pipefail
native_dir=$1
root=$(cd "$(dirname "$0")/.." && pwd)
tvsfx=${TVSFX:-$native_dir/builder/tvsfx}
work=$native_dir/bench-readers
rm -rf "$work"
mkdir -p "$work"
python3 "$root/bench/make_many_records.py" "$work/records.zip" 1000000 65534
"$tvsfx" build --quiet --out "$work/records.exe" --from-zip "$work/records.zip" --verbatim
bytes=$(stat -c %s "$work/records.exe")
echo "readers: an installer of 1,000,000 local headers and 65,534 central entries, $bytes bytes"
printf '%-22s %8s %12s %8s\n' "" "wall s" "peak KiB" "vs file"
for command in "verify --quiet" "info --json"; do
    # verify exits 1 (the central directory lists a few of the members).
    /usr/bin/time -f '%e %M' -o "$work/time" "$tvsfx" $command "$work/records.exe" >/dev/null || true
    read -r wall peak < <(tail -n 1 "$work/time")  # after "Command exited with non-zero status"
    printf '%-22s %8.2f %12d %7.1fx\n' "tvsfx $command" "$wall" "$peak" "$(awk "BEGIN { print $peak * 1024 / $bytes }")"
done

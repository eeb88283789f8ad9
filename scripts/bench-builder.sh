#!/usr/bin/env bash
# Builder benchmark: the installer's size for a corpus of real files, with
# --method deflate, lzma and best, next to Info-ZIP's "zip -9" and 7-Zip's
# "-tzip -mx9" (deflate) and "-tzip -mm=LZMA -mx9" archives of the same
# files and NSIS installers of them ("SetCompressor lzma", and "/SOLID lzma",
# when makensis is there), and the time each took. Prints figures; it is not
# a test.
#   bench-builder.sh NATIVE_DIR
# The corpus (scripts/make-builder-corpus.py: about 64 MB in thousands of
# files from /usr/share/doc, /usr/include and /usr/lib) is made once under
# build/builder-corpus. The installer carries a stub of about 27 KB that the
# archives do not; the sizes below include it.
set -euo pipefail
native_dir=$1
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=$root/build/builder-corpus
work=$root/build/builder-bench
tvsfx=$native_dir/builder/tvsfx

# Made again when the script that makes it has changed since.
if [ ! -f "$corpus.manifest" ] || [ "$root/scripts/make-builder-corpus.py" -nt "$corpus.manifest" ]; then
    echo "== building the builder corpus in $corpus"
    python3 "$root/scripts/make-builder-corpus.py" "$corpus"
fi
rm -rf "$work"
mkdir -p "$work"
files=$(wc -l <"$corpus.manifest")
bytes=$(awk '{ total += $1 } END { print total }' "$corpus.manifest")

# Runs a command, prints its wall time and its CPU time (user + system) in
# seconds. tvsfx compresses on every core: on a busy machine its wall time
# grows with the load, its CPU time does not.
timed() {
    local TIMEFORMAT='%R %U %S' figures
    figures=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
    awk -v f="$figures" 'BEGIN { split(f, t, " "); printf "%.2f:%.2f", t[1], t[2] + t[3] }'
}

tvsfx_time=$(timed "$tvsfx" build --quiet --out "$work/setup.exe" --from-dir "$corpus")
lzma_time=$(timed "$tvsfx" build --quiet --out "$work/setup-lzma.exe" --from-dir "$corpus" --method lzma)
best_time=$(timed sh -c "'$tvsfx' build --out '$work/setup-best.exe' --from-dir '$corpus' --method best >'$work/best-summary.txt'")
zip_time=$(timed sh -c "cd '$corpus' && zip -q -r -9 '$work/zip9.zip' .")
sevenzip_time=$(timed sh -c "cd '$corpus' && 7z a -tzip -mx9 '$work/7z-mx9.zip' .")
sevenzip_lzma_time=$(timed sh -c "cd '$corpus' && 7z a -tzip -mm=LZMA -mx9 '$work/7z-lzma-mx9.zip' .")
# NSIS's LZMA installers of the same files, one member at a time and solid.
nsis_rows=()
if command -v makensis >/dev/null; then
    for solid in "" "/SOLID "; do
        name=nsis-lzma${solid:+-solid}
        cat >"$work/$name.nsi" <<NSI
Unicode true
SetCompressor $solid lzma
Name "bench"
OutFile "$work/$name.exe"
InstallDir "\$TEMP\\bench"
RequestExecutionLevel user
Section
SetOutPath "\$INSTDIR"
File /r "$corpus/*"
SectionEnd
NSI
        nsis_time=$(timed makensis -V1 "$work/$name.nsi")
        nsis_rows+=("NSIS ${solid}lzma (installer):$work/$name.exe:$nsis_time")
    done
else
    echo "== no makensis (Debian package nsis): NSIS's sizes left out"
fi
for installer in setup setup-lzma setup-best; do
    "$tvsfx" verify --quiet "$work/$installer.exe"
done

size() { stat -c %s "$1"; }
echo "== builder: $files files, $bytes bytes ($(nproc) cores)"
printf '%-32s %12s %9s %8s %8s\n' "" "bytes" "vs input" "wall s" "CPU s"
for row in "tvsfx build (installer):$work/setup.exe:$tvsfx_time" \
           "tvsfx --method lzma:$work/setup-lzma.exe:$lzma_time" \
           "tvsfx --method best:$work/setup-best.exe:$best_time" \
           "zip -9 (archive):$work/zip9.zip:$zip_time" \
           "7z -tzip -mx9 (archive):$work/7z-mx9.zip:$sevenzip_time" \
           "7z -tzip -mm=LZMA -mx9 (archive):$work/7z-lzma-mx9.zip:$sevenzip_lzma_time" "${nsis_rows[@]}"; do
    IFS=: read -r label file wall cpu <<<"$row"
    printf '%-32s %12d %8.2f%% %8.2f %8.2f\n' "$label" "$(size "$file")" \
        "$(awk "BEGIN { print 100 * $(size "$file") / $bytes }")" "$wall" "$cpu"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
ours=$(size "$work/setup.exe")
for other in zip9.zip 7z-mx9.zip; do
    theirs=$(size "$work/$other")
    printf 'tvsfx vs %-10s %+d bytes (%+.2f%%)\n' "${other%.zip}:" $((ours - theirs)) \
        "$(awk "BEGIN { print 100 * ($ours - $theirs) / $theirs }")"
done
best=$(size "$work/setup-best.exe")
theirs=$(size "$work/7z-lzma-mx9.zip")
printf 'tvsfx --method best vs 7z-lzma-mx9: %+d bytes (%+.2f%%)\n' $((best - theirs)) \
    "$(awk "BEGIN { print 100 * ($best - $theirs) / $theirs }")"
for other in nsis-lzma nsis-lzma-solid; do
    [ -f "$work/$other.exe" ] || continue
    theirs=$(size "$work/$other.exe")
    printf 'tvsfx --method best vs %s: %+d bytes (%+.2f%%)\n' "$other" $((best - theirs)) \
        "$(awk "BEGIN { print 100 * ($best - $theirs) / $theirs }")"
done
# NSIS stores a file's data once however often the file occurs; a zip member
# cannot share another's data. The summary's "repeated" line says what the
# copies cost (to 0.1 MB), so the rest of the gap shows apart.
repeated=$(sed -n 's/^  repeated  *\([0-9]*\) members.*: \([0-9.]*\) MB of the archive.*/\1 \2/p' "$work/best-summary.txt")
if [ -n "$repeated" ] && [ -f "$work/nsis-lzma.exe" ]; then
    read -r repeated_members repeated_mb <<<"$repeated"
    theirs=$(size "$work/nsis-lzma.exe")
    awk -v best="$best" -v theirs="$theirs" -v mb="$repeated_mb" -v n="$repeated_members" 'BEGIN {
        rest = best - mb * 1e6
        printf "tvsfx --method best less its %d repeated members (%.1f MB) vs nsis-lzma: %+.0f bytes (%+.2f%%)\n",
            n, mb, rest - theirs, 100 * (rest - theirs) / theirs
    }'
fi

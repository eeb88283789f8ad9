#!/usr/bin/env bash
# Extraction benchmark: one payload (bench/make_payload.py: a tree of about
# 100 MB in thousands of files, built once under build/) extracted under Wine
# by three contenders on the same architecture:
#   ours   tvsfx's installer of the payload, extracted through the stub's own
#          code by bench/extract/extract_bench.cpp;
#   NSIS   makensis's installer of the same tree (zlib, not solid), run
#          silently with /S /D=;
#   floor  bench/extract/floor_bench.cpp, which only creates the same files
#          with the same sizes.
# The 32-bit builds where this machine runs 32-bit programs, else the 64-bit
# ones (NSIS's amd64-unicode target). Everything runs on core 0: under Wine a
# call into the wineserver that crosses cores costs several times more. The
# bench's own Wine prefix (beside the tests') has its server restarted first
# so that it runs on core 0 too. Each contender writes into a folder on
# tmpfs, emptied between runs; each runs once untimed (its output checked
# against the payload: bytes for ours and NSIS, sizes for the floor), then
# RUNS timed runs in turn with the others; its figure is its best run, the
# whole Wine process timed from outside. The last two lines are
# "extract vs NSIS: X.XXx" (NSIS's time over ours) and
# "extract vs floor: X.XXx" (ours over the floor's). Prints figures; it is
# not a test.
#   bench-extract.sh NATIVE_DIR WIN32_DIR WIN64_DIR [RUNS]
set -euo pipefail

native_dir=$1
win32_dir=$2
win64_dir=$3
runs=${4:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
payload=$root/build/bench-payload
work=$root/build/bench-extract
mkdir -p "$work"

if [ ! "$payload/files.txt" -nt "$root/bench/make_payload.py" ]; then
    echo "== building the payload in $payload"
    python3 "$root/bench/make_payload.py" "$payload"
fi

if why_not=$("$root/scripts/can-run-win32.sh"); then
    windows_dir=$win32_dir arch=win32 builder_arch=x86 nsis_target=x86-unicode label=i686
else
    echo "== no 32-bit figures: $why_not; all three contenders run as x86-64"
    windows_dir=$win64_dir arch=win64 builder_arch=x64 nsis_target=amd64-unicode label=x86-64
fi
windows_dir=$(cd "$windows_dir" && pwd)
for program in extract_bench floor_bench; do
    if [ ! -f "$windows_dir/bench/$program.exe" ]; then
        echo "== no $windows_dir/bench/$program.exe: extraction figures skipped"
        exit 0
    fi
done
if ! command -v makensis >/dev/null; then
    echo "== no makensis (Debian package nsis): extraction figures skipped"
    exit 0
fi

# Wine sees / as Z:.
windows_path() { printf 'Z:%s' "$(sed 's|/|\\|g' <<<"$1")"; }

# The installers, made again when the payload or the builder is newer.
ours=$work/ours-$builder_arch.exe
tvsfx=$native_dir/builder/tvsfx
if [ ! "$ours" -nt "$payload/files.txt" ] || [ ! "$ours" -nt "$tvsfx" ]; then
    echo "== tvsfx build --arch $builder_arch"
    "$tvsfx" build --quiet --arch $builder_arch --out "$ours" --from-dir "$payload/tree"
fi
nsis=$work/nsis-$nsis_target.exe
if [ ! "$nsis" -nt "$payload/files.txt" ]; then
    echo "== makensis, Target $nsis_target, zlib, not solid (a minute or so)"
    cat >"$work/nsis-$nsis_target.nsi" <<NSI
Unicode true
Target $nsis_target
SetCompressor zlib
Name "bench"
OutFile "$nsis"
InstallDir "\$TEMP\\bench"
RequestExecutionLevel user
Section
SetOutPath "\$INSTDIR"
File /r "$payload/tree/*"
SectionEnd
NSI
    makensis -V1 "$work/nsis-$nsis_target.nsi"
fi

# The output folders live on tmpfs: /dev/shm when it has room, else a tmpfs
# mounted for the run (root only), else the disk, said so. Wine reaches the
# tmpfs through a link under build/: it does not look into Z:\dev.
payload_bytes=$(awk '$1 == "F" { sum += $2 } END { print sum }' "$payload/files.txt")
out_link=$work/out
mounted=""
if mountpoint -q "$out_link" 2>/dev/null; then
    umount "$out_link"  # left by an interrupted run
fi
rm -rf "$out_link"
if [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = tmpfs ] &&
    [ "$(df --output=avail -B1 /dev/shm | tail -1)" -gt $((payload_bytes * 2)) ]; then
    out_dir=$(mktemp -d /dev/shm/tvsfx-bench.XXXXXX)
    ln -s "$out_dir" "$out_link"
    where="tmpfs (/dev/shm)"
else
    mkdir -p "$out_link"
    if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=$((payload_bytes * 2)) tvsfx-bench "$out_link" 2>/dev/null; then
        mounted=$out_link
        where="tmpfs (mounted on $out_link)"
    else
        where="the disk: no tmpfs with room could be had"
    fi
    out_dir=$out_link
fi
cleanup() {
    if [ -n "$mounted" ]; then
        umount "$mounted" || true
    else
        rm -rf "$out_dir"
    fi
    rm -rf "$out_link"
}
trap cleanup EXIT

prefix=$windows_dir/bench-wineprefix
# Only this bench's own prefix: its server is restarted on core 0.
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true

contenders=(ours nsis floor)
declare -A command best
command[ours]="$windows_dir/bench/extract_bench.exe|$(windows_path "$ours")|$(windows_path "$out_link/ours")"
command[nsis]="$nsis|/S|/D=$(windows_path "$out_link/nsis")"
command[floor]="$windows_dir/bench/floor_bench.exe|$(windows_path "$payload/files.txt")|$(windows_path "$out_link/floor")"

# Runs one contender into its emptied folder; prints its seconds.
run_once() {
    local name=$1 timing
    rm -rf "${out_dir:?}/$name"
    timing=$(mktemp)
    IFS='|' read -r -a argv <<<"${command[$name]}"
    if ! TALVOK_WINE_TIME_FILE=$timing timeout 600 taskset -c 0 \
        "$root/scripts/wine-run.sh" --arch $arch --prefix "$prefix" "${argv[@]}" >&2; then
        echo "bench-extract: $name failed, or waited 600 s (a message box waits for ever)" >&2
        rm -f "$timing"
        return 1
    fi
    read -r start end <"$timing"
    rm -f "$timing"
    start=${start/,/.} end=${end/,/.}  # the shell's locale may write a decimal comma
    awk -v start="$start" -v end="$end" 'BEGIN { printf "%.3f\n", end - start }'
}

listing_of() { (cd "$1" && find . -mindepth 1 \( -type d -printf 'D %P\n' \) -o \( -type f -printf 'F %s %P\n' \) | sort); }
expected_listing=$(sed 's|\\|/|g' "$payload/files.txt" | sort)

echo "== one untimed run each, output checked"
for name in "${contenders[@]}"; do
    run_once $name >/dev/null
    case $name in
    floor) same=$([ "$(listing_of "$out_dir/floor")" = "$expected_listing" ] && echo yes || echo no) ;;
    *) same=$(diff -r -q "$payload/tree" "$out_dir/$name" >/dev/null && echo yes || echo no) ;;
    esac
    if [ $same != yes ]; then
        echo "bench-extract: $name's output differs from the payload" >&2
        exit 1
    fi
done

echo "== $runs timed runs each, in turn"
for name in "${contenders[@]}"; do best[$name]=1e9; done
for ((run = 1; run <= runs; run++)); do
    for name in "${contenders[@]}"; do
        seconds=$(run_once $name)
        best[$name]=$(awk -v a="${best[$name]}" -v b="$seconds" 'BEGIN { print (b < a ? b : a) }')
    done
done
rm -rf "${out_dir:?}"/*

file_count=$(grep -c '^F ' "$payload/files.txt")
folder_count=$(grep -c '^D ' "$payload/files.txt")
megabytes() { awk -v b="$1" 'BEGIN { printf "%.1f MB", b / 1e6 }'; }
echo "== extraction under Wine, $label, core 0, into $where; best of $runs"
echo "payload: $(megabytes "$payload_bytes") in $file_count files and $folder_count folders"
printf '%-44s %7.2f s\n' "ours (tvsfx, $(megabytes "$(stat -c %s "$ours")"))" "${best[ours]}" \
    "NSIS ($nsis_target, zlib, $(megabytes "$(stat -c %s "$nsis")"))" "${best[nsis]}" \
    "floor (only creates the files)" "${best[floor]}"
awk -v ours="${best[ours]}" -v nsis="${best[nsis]}" -v floor="${best[floor]}" 'BEGIN {
    printf "extract vs NSIS: %.2fx\n", nsis / ours
    printf "extract vs floor: %.2fx\n", ours / floor
}'

#!/usr/bin/env bash
# Extraction benchmark: one payload (bench/make_payload.py: a tree of about
# 100 MB in thousands of files, built once under build/) installed under
# Wine by these contenders on the same architecture:
#   ours   tvsfx's installer of the payload, hidden (no window, nothing to
#          press), run end to end as a user runs it: it proves its bytes,
#          makes its temporary folder, extracts, runs its setup command
#          (bench_mark_setup.exe, which only notes when it started), waits
#          for it and deletes the folder;
#   NSIS   makensis's installer of the same tree (zlib, not solid), run
#          silently with /S /D=;
#   floor  bench/extract/floor_bench.cpp, which only creates the same files
#          with the same sizes and sets their times;
#   ours --method lzma, NSIS lzma
#          the same two installers with LZMA members (NSIS's SetCompressor
#          lzma, not solid either).
# Beside them, "extraction alone": extract_bench.exe, the stub's extraction
# run into a folder and nothing else, for profiling, of ours and of the same
# tree with every member stored (Info-ZIP zip -0 through --from-zip); with
# ours without members (start-up, self-check, temporary folder, launch) they
# make the breakdown of the gap between ours and the floor.
# The 32-bit builds where this machine runs 32-bit programs, else the 64-bit
# ones (NSIS's amd64-unicode target). Everything runs on core 0: under Wine a
# call into the wineserver that crosses cores costs several times more. The
# bench's own Wine prefix (beside the tests') has its server restarted first
# so that it runs on core 0 too. Each contender is started by
# install_bench.exe, which times it from inside Wine (from its process's
# creation to its end, and for ours to the moment the setup command starts),
# writes into a folder on tmpfs, emptied between runs; each runs once
# untimed (the output checked against the payload: bytes for the
# extraction and NSIS, sizes for the floor; for ours, that the command ran
# and the temporary folder is gone, and the bytes through extract_bench
# once more for the LZMA installer), then RUNS timed runs in turn with the
# others; its figure is the median of its runs. Before the last three lines
# comes "lzma install vs NSIS lzma: X.XXx" (NSIS's LZMA installer's time
# over our LZMA installer's to the command). The last three lines are
# "install vs NSIS: X.XXx" (NSIS's time over ours to the command),
# "install vs floor: X.XXx" (ours to the command over the floor's) and
# "clean-up vs floor: X.XXx" (ours from the command to the end, which is
# the clean-up, over the floor's creation). Every ours run must leave the
# temporary folder gone. Prints figures; it is not a test.
# TALVOK_BENCH_STUB=FILE builds our installer with that stub (tvsfx build
# --stub) instead of the builder's own, to compare two builds of the stub.
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
for program in install_bench bench_mark_setup extract_bench floor_bench; do
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

# The installers, made again when the payload or the builder is newer. Ours
# carries the payload and its setup command, which marks its start.
ours=$work/ours-$builder_arch.exe
tvsfx=$native_dir/builder/tvsfx
mark_setup=$windows_dir/bench/bench_mark_setup.exe
stub_option=()
if [ -n "${TALVOK_BENCH_STUB:-}" ]; then
    ours=$work/ours-$builder_arch-stub.exe
    stub_option=(--stub "$TALVOK_BENCH_STUB")
    rm -f "$ours"
fi
# Every installer of ours: hidden, with the setup command that marks its start.
#   build_ours OUT SOURCE_OPTION SOURCE [OPTION...]
build_ours() {
    "$tvsfx" build --quiet --arch $builder_arch "${stub_option[@]}" --command talvok-bench-setup.exe --hidden \
        --out "$@"
}
if [ ! "$ours" -nt "$payload/files.txt" ] || [ ! "$ours" -nt "$tvsfx" ] || [ ! "$ours" -nt "$mark_setup" ]; then
    echo "== tvsfx build --arch $builder_arch --hidden ${stub_option[*]}"
    rm -rf "$work/ours-tree"
    cp -al "$payload/tree" "$work/ours-tree"
    cp "$mark_setup" "$work/ours-tree/talvok-bench-setup.exe"
    build_ours "$ours" --from-dir "$work/ours-tree"
fi
# Many small members: the same installer of small_files files under 1 KiB
# (bench/make_small_payload.py), and of the setup command alone, so that
# the difference, divided by the count, is what one member costs.
small_files=3000
small=$work/small-payload
if [ ! "$small/files.txt" -nt "$root/bench/make_small_payload.py" ]; then
    python3 "$root/bench/make_small_payload.py" "$small" $small_files
fi
: >"$work/no-files.txt"
ours_small=${ours%.exe}-small.exe  # named after ours, so that another stub's are told apart
ours_none=${ours%.exe}-none.exe
if [ ! "$ours_small" -nt "$ours" ] || [ ! "$ours_small" -nt "$small/files.txt" ]; then
    rm -rf "$work/none-tree"
    mkdir -p "$work/none-tree"
    cp "$mark_setup" "$small/tree/talvok-bench-setup.exe"
    cp "$mark_setup" "$work/none-tree/talvok-bench-setup.exe"
    for pair in "$ours_small|$small/tree" "$ours_none|$work/none-tree"; do
        build_ours "${pair%%|*}" --from-dir "${pair#*|}"
    done
fi
# The same installer with LZMA members.
ours_lzma=${ours%.exe}-lzma.exe
if [ ! "$ours_lzma" -nt "$ours" ]; then
    echo "== tvsfx build --arch $builder_arch --hidden --method lzma ${stub_option[*]} (a few minutes)"
    build_ours "$ours_lzma" --from-dir "$work/ours-tree" --method lzma
fi

# The same tree with every member stored, for the breakdown: decoding is the
# difference between it and ours.
ours_stored=${ours%.exe}-stored.exe
if [ ! "$ours_stored" -nt "$ours" ]; then
    rm -f "$work/stored.zip"
    (cd "$work/ours-tree" && zip -q -0 -r -X "$work/stored.zip" .)
    build_ours "$ours_stored" --from-zip "$work/stored.zip"
    rm -f "$work/stored.zip"
fi

# NSIS's installers, zlib and LZMA, each member compressed on its own as
# ours are (not solid).
nsis=$work/nsis-$nsis_target.exe
nsis_lzma=$work/nsis-$nsis_target-lzma.exe
for pair in "$nsis|zlib|a minute or so" "$nsis_lzma|lzma|a few minutes"; do
    IFS='|' read -r installer compressor how_long <<<"$pair"
    if [ ! "$installer" -nt "$payload/files.txt" ]; then
        echo "== makensis, Target $nsis_target, $compressor, not solid ($how_long)"
        cat >"${installer%.exe}.nsi" <<NSI
Unicode true
Target $nsis_target
SetCompressor $compressor
Name "bench"
OutFile "$installer"
InstallDir "\$TEMP\\bench"
RequestExecutionLevel user
Section
SetOutPath "\$INSTDIR"
File /r "$payload/tree/*"
SectionEnd
NSI
        makensis -V1 "${installer%.exe}.nsi"
    fi
done

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

contenders=(ours extract nsis floor ours_lzma nsis_lzma)
breakdown_contenders=(extract_stored)
declare -A command
command[ours]="$ours"
command[extract]="$windows_dir/bench/extract_bench.exe|$(windows_path "$ours")|$(windows_path "$out_link/extract")"
command[nsis]="$nsis|/S|/D=$(windows_path "$out_link/nsis")"
command[extract_stored]="$windows_dir/bench/extract_bench.exe|$(windows_path "$ours_stored")|$(windows_path "$out_link/extract_stored")"
command[floor]="$windows_dir/bench/floor_bench.exe|$(windows_path "$payload/files.txt")|$(windows_path "$out_link/floor")"
command[ours_lzma]="$ours_lzma"
command[nsis_lzma]="$nsis_lzma|/S|/D=$(windows_path "$out_link/nsis_lzma")"
# Run once, untimed: the LZMA installer's bytes, which its own run deletes.
command[extract_lzma]="$windows_dir/bench/extract_bench.exe|$(windows_path "$ours_lzma")|$(windows_path "$out_link/extract_lzma")"
small_contenders=(ours_small ours_none floor_small floor_none)
command[ours_small]="$ours_small"
command[ours_none]="$ours_none"
command[floor_small]="$windows_dir/bench/floor_bench.exe|$(windows_path "$small/files.txt")|$(windows_path "$out_link/floor_small")"
command[floor_none]="$windows_dir/bench/floor_bench.exe|$(windows_path "$work/no-files.txt")|$(windows_path "$out_link/floor_none")"

# Runs one contender into its emptied folder through install_bench; prints
# "WHOLE TO_COMMAND" in seconds (TO_COMMAND "-" when no command marked it).
run_once() {
    local name=$1 report whole to_command exit_code
    rm -rf "${out_dir:?}/$name" "${out_dir:?}/temp" "${out_dir:?}/mark"
    mkdir -p "$out_dir/temp"
    IFS='|' read -r -a argv <<<"${command[$name]}"
    if ! report=$(timeout 600 taskset -c 0 "$root/scripts/wine-run.sh" --arch $arch --prefix "$prefix" \
        "$windows_dir/bench/install_bench.exe" "$(windows_path "$out_link/temp")" "$(windows_path "$out_link/mark")" \
        "${argv[@]}"); then
        echo "bench-extract: $name could not be timed, or waited 600 s (a message box waits for ever)" >&2
        return 1
    fi
    report=$(tr -d '\r' <<<"$report")  # the Windows program's text mode ends lines in CR LF
    whole=$(awk '$1 == "whole" { print $2 }' <<<"$report")
    to_command=$(awk '$1 == "to_command" { print $2 }' <<<"$report")
    exit_code=$(awk '$1 == "exit" { print $2 }' <<<"$report")
    if [ "$exit_code" != 0 ]; then
        echo "bench-extract: $name ended with exit code $exit_code" >&2
        return 1
    fi
    if [[ $name == ours* ]]; then
        if [ -z "$to_command" ]; then
            echo "bench-extract: $name never started its setup command" >&2
            return 1
        fi
        if [ -n "$(ls -A "$out_dir/temp")" ]; then
            echo "bench-extract: $name left its temporary folder: $(ls -A "$out_dir/temp" | head -3)" >&2
            return 1
        fi
    fi
    echo "$whole ${to_command:--}"
}

listing_of() { (cd "$1" && find . -mindepth 1 \( -type d -printf 'D %P\n' \) -o \( -type f -printf 'F %s %P\n' \) | sort); }
expected_listing=$(sed 's|\\|/|g' "$payload/files.txt" | sort)

echo "== one untimed run each, output checked"
for name in "${contenders[@]}" "${breakdown_contenders[@]}" extract_lzma; do
    run_once $name >/dev/null || exit 1
    case $name in
    ours*) same=yes ;;  # run_once checked the command and the temporary folder; extract* check the bytes
    extract*) same=$(diff -r -q "$work/ours-tree" "$out_dir/$name" >/dev/null && echo yes || echo no) ;;
    floor) same=$([ "$(listing_of "$out_dir/floor")" = "$expected_listing" ] && echo yes || echo no) ;;
    *) same=$(diff -r -q "$payload/tree" "$out_dir/$name" >/dev/null && echo yes || echo no) ;;
    esac
    if [ $same != yes ]; then
        echo "bench-extract: $name's output differs from the payload" >&2
        exit 1
    fi
done

for name in "${small_contenders[@]}"; do
    run_once $name >/dev/null || exit 1
done
if [ "$(listing_of "$out_dir/floor_small")" != "$(sed 's|\\|/|g' "$small/files.txt" | sort)" ]; then
    echo "bench-extract: the floor's small files differ from the list" >&2
    exit 1
fi

echo "== $runs timed runs each, in turn"
declare -A times
for ((run = 1; run <= runs; run++)); do
    for name in "${contenders[@]}" "${small_contenders[@]}" "${breakdown_contenders[@]}"; do
        timing=$(run_once $name) || exit 1
        read -r whole to_command <<<"$timing"
        times[$name]+="$whole "
        if [[ $name == ours* ]]; then
            times[$name.to_command]+="$to_command "
            times[$name.clean_up]+="$(awk -v a="$whole" -v b="$to_command" 'BEGIN { printf "%.3f", a - b }') "
        fi
    done
done
rm -rf "${out_dir:?}"/*
median() { tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
declare -A figure
for key in "${!times[@]}"; do figure[$key]=$(median "${times[$key]}"); done
figure[to_command]=${figure[ours.to_command]}
figure[clean_up]=${figure[ours.clean_up]}

file_count=$(grep -c '^F ' "$payload/files.txt")
folder_count=$(grep -c '^D ' "$payload/files.txt")
megabytes() { awk -v b="$1" 'BEGIN { printf "%.1f MB", b / 1e6 }'; }
echo "== installation under Wine, $label, core 0, into $where; medians of $runs runs"
echo "payload: $(megabytes "$payload_bytes") in $file_count files and $folder_count folders"
printf '%-58s %7.2f s\n' \
    "ours (tvsfx, $(megabytes "$(stat -c %s "$ours")"), hidden), to command" "${figure[to_command]}" \
    "ours, whole (with the command and the clean-up)" "${figure[ours]}" \
    "ours, clean-up (whole less to command)" "${figure[clean_up]}" \
    "ours, extraction alone (extract_bench)" "${figure[extract]}" \
    "NSIS ($nsis_target, zlib, $(megabytes "$(stat -c %s "$nsis")"))" "${figure[nsis]}" \
    "floor (only creates the files and sets their times)" "${figure[floor]}"
echo "== where ours goes beside the floor (each less the line before it)"
awk -v floor="${figure[floor]}" -v stored="${figure[extract_stored]}" -v extract="${figure[extract]}" \
    -v none="${figure[ours_none.to_command]}" -v to_command="${figure[to_command]}" 'BEGIN {
    printf "%-58s %7.2f s\n", "floor", floor
    printf "%-58s %+7.2f s\n", "extraction of stored members (reading, CRC, per member)", stored - floor
    printf "%-58s %+7.2f s\n", "decoding (extraction of ours less of stored)", extract - stored
    printf "%-58s %+7.2f s\n", "ours less its extraction (start-up, loading, launch)", to_command - extract
    printf "%-58s %7.2f s\n", "  of which ours without members, to command", none
}'
echo "== the same with LZMA"
printf '%-58s %7.2f s\n' \
    "ours (tvsfx --method lzma, $(megabytes "$(stat -c %s "$ours_lzma")"), hidden), to command" \
    "${figure[ours_lzma.to_command]}" \
    "ours --method lzma, whole" "${figure[ours_lzma]}" \
    "NSIS ($nsis_target, lzma, $(megabytes "$(stat -c %s "$nsis_lzma")"))" "${figure[nsis_lzma]}"
echo "== many small members: $small_files files of 64 to 1,000 bytes in folders of 100, less the same run without them"
awk -v files=$small_files -v extract="${figure[ours_small.to_command]}" -v extract0="${figure[ours_none.to_command]}" \
    -v clean="${figure[ours_small.clean_up]}" -v clean0="${figure[ours_none.clean_up]}" \
    -v floor="${figure[floor_small]}" -v floor0="${figure[floor_none]}" 'BEGIN {
    e = (extract - extract0) / files * 1000; c = (clean - clean0) / files * 1000; f = (floor - floor0) / files * 1000
    printf "ours per member: %.3f ms to the command, %.3f ms in the clean-up, %.3f ms together\n", e, c, e + c
    printf "floor per file: %.3f ms\n", f
    printf "small members vs floor: %.2fx\n", (e + c) / f
}'
awk -v to_command="${figure[ours_lzma.to_command]}" -v nsis="${figure[nsis_lzma]}" 'BEGIN {
    printf "lzma install vs NSIS lzma: %.2fx\n", nsis / to_command
}'
awk -v to_command="${figure[to_command]}" -v clean_up="${figure[clean_up]}" -v nsis="${figure[nsis]}" \
    -v floor="${figure[floor]}" 'BEGIN {
    printf "install vs NSIS: %.2fx\n", nsis / to_command
    printf "install vs floor: %.2fx\n", to_command / floor
    printf "clean-up vs floor: %.2fx\n", clean_up / floor
}'

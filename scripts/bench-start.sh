#!/usr/bin/env bash
# Start-up benchmark (not a test): the time from an installer's start to its
# visible dialog, in one warm Wine session, for our installer and for an
# empty NSIS installer of the same architecture (one empty section, its
# window shown at once), run in turn on one core. Prints both and
# "start vs NSIS: X.XXx" (NSIS's time over ours).
#   bench-start.sh NATIVE_DIR WIN32_DIR WIN64_DIR [REPETITIONS]
set -euo pipefail
native_dir=$(cd "$1" && pwd)
repetitions=${4:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/bench-start
mkdir -p "$work"

if "$root/scripts/can-run-win32.sh" >/dev/null; then
    windows_dir=$2 arch=win32 builder_arch=x86 nsis_target=x86-unicode label=i686
else
    windows_dir=$3 arch=win64 builder_arch=x64 nsis_target=amd64-unicode label=x86-64
fi
windows_dir=$(cd "$windows_dir" && pwd)
program=$windows_dir/bench/start_bench.exe
if [ ! -f "$program" ] || ! command -v makensis >/dev/null; then
    echo "== no start_bench.exe or no makensis: start-up figures skipped"
    exit 0
fi

mkdir -p "$work/payload"
printf 'leame\r\n' >"$work/payload/leame.txt"
"$native_dir/builder/tvsfx" build --quiet --arch $builder_arch --out "$work/ours.exe" --from-dir "$work/payload" \
    --command setup.exe --text "Prueba de arranque"
cat >"$work/empty.nsi" <<NSI
Unicode true
Target $nsis_target
Name "Prueba de arranque"
OutFile "$work/nsis-empty.exe"
RequestExecutionLevel user
Page instfiles
Section
SectionEnd
NSI
makensis -V1 "$work/empty.nsi"

windows_path() { printf 'Z:%s' "$(sed 's|/|\\|g' <<<"$1")"; }
prefix=$windows_dir/wineprefix
declare -A median
for contender in ours nsis-empty; do
    line=$(taskset -c 0 "$root/scripts/wine-run.sh" --arch $arch --prefix "$prefix" "$program" "$repetitions" \
        "$(windows_path "$work/$contender.exe")" | tail -1)
    echo "$label $contender: $line"
    median[$contender]=$(sed -n 's/.*median \([0-9.]*\) ms.*/\1/p' <<<"$line")
done
awk -v ours="${median[ours]}" -v nsis="${median[nsis-empty]}" 'BEGIN {
    printf "start vs NSIS: %.2fx\n", nsis / ours }'

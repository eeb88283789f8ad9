#!/usr/bin/env bash
# The demo: builds an installer from demo/payload with tvsfx, then runs it
# under Wine and shows what it did. The 32-bit installer where this machine
# runs 32-bit programs, otherwise the 64-bit one.
#   demo.sh NATIVE_DIR WIN32_DIR WIN64_DIR
set -euo pipefail
native_dir=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
if why_not=$("$root/scripts/can-run-win32.sh"); then
    arch=x86 wine_arch=win32 windows_dir=$(cd "$2" && pwd)
    echo "== 32-bit installer (tvsfx32.exe stub)"
else
    arch=x64 wine_arch=win64 windows_dir=$(cd "$3" && pwd)
    echo "== 64-bit installer (tvsfx64.exe stub): the 32-bit one cannot run here: $why_not"
fi
tvsfx=$native_dir/builder/tvsfx
out_dir=$native_dir/demo
installer=$out_dir/talvok-demo.exe
mkdir -p "$out_dir"

echo "== building $installer from demo/payload"
"$tvsfx" build --arch $arch --out "$installer" --from-dir "$root/demo/payload" \
    --command setup.bat \
    --title "Demostración de Talvok" --title-caption \
    --text "Este instalador de demostración extrae tres archivos en una carpeta temporal y ejecuta setup.bat."
echo

echo "== running it under Wine"
# The installer shows its dialog and waits for a click; the UI driver prints
# its windows and presses Cancel (id 2). Without the driver it is stopped
# after 30 s.
driver=$windows_dir/tools/uiauto/uidriver.exe
wine_run=("$root/scripts/wine-run.sh" --arch $wine_arch --prefix "$windows_dir/wineprefix")
rc=0
cd "$out_dir"
if [ -f "$driver" ]; then
    bash "${wine_run[@]}" "$driver" run --timeout 60 --press-id 2 -- "$(basename "$installer")" || rc=$?
else
    timeout 30 bash "${wine_run[@]}" "$(basename "$installer")" || rc=$?
fi
echo "talvok-demo.exe exited with code $rc"

#!/usr/bin/env bash
# The demo: builds an installer from demo/payload with tvsfx, then runs it
# under Wine and shows what it did.
#   demo.sh NATIVE_DIR WIN32_DIR
set -euo pipefail
native_dir=$(cd "$1" && pwd)
win32_dir=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
tvsfx=$native_dir/builder/tvsfx
out_dir=$native_dir/demo
installer=$out_dir/talvok-demo.exe
mkdir -p "$out_dir"

echo "== building $installer from demo/payload"
"$tvsfx" build --out "$installer" --from-dir "$root/demo/payload" \
    --command setup.bat \
    --title "Demostración de Talvok" --title-caption \
    --text "Este instalador de demostración extrae tres archivos en una carpeta temporal y ejecuta setup.bat."
echo

echo "== running it under Wine"
# The installer shows its dialog and waits for a click; the UI driver prints
# its windows and presses Cancel (id 2). Without the driver it is stopped
# after 30 s.
driver=$win32_dir/tools/uiauto/uidriver.exe
rc=0
cd "$out_dir"
if [ -f "$driver" ]; then
    bash "$root/scripts/wine-run.sh" --prefix "$win32_dir/wineprefix" "$driver" run --timeout 60 \
        --press-id 2 -- "$(basename "$installer")" || rc=$?
else
    timeout 30 bash "$root/scripts/wine-run.sh" --prefix "$win32_dir/wineprefix" \
        "$(basename "$installer")" || rc=$?
fi
echo "talvok-demo.exe exited with code $rc"

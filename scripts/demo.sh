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

report=$out_dir/setup-report.txt
rm -f "$report"
echo "== building $installer from demo/payload"
"$tvsfx" build --arch $arch --out "$installer" --from-dir "$root/demo/payload" \
    --command setup.bat --parameters "/modo demostracion" --argv0 \
    --title "Demostración de Talvok" --title-caption \
    --text "Este instalador de demostración extrae sus archivos en una carpeta temporal, ejecuta setup.bat desde ella y la borra al terminar."
echo

echo "== running it under Wine"
# The UI driver prints every window as it appears and presses Install
# (id 1) as a person would; the installer extracts, runs setup.bat, waits for
# it and removes its temporary folder. Without the driver it starts by
# itself (-auto) and is stopped after 60 s.
driver=$windows_dir/tools/uiauto/uidriver.exe
wine_run=("$root/scripts/wine-run.sh" --arch $wine_arch --prefix "$windows_dir/wineprefix")
report_windows="Z:$(sed 's|/|\\|g' <<<"$report")"
rc=0
cd "$out_dir"
if [ -f "$driver" ]; then
    bash "${wine_run[@]}" "$driver" run --timeout 60 --env "TALVOK_DEMO_REPORT=$report_windows" --press-id 1 \
        -- "$(basename "$installer")" || rc=$?
else
    TALVOK_DEMO_REPORT=$report_windows timeout 60 bash "${wine_run[@]}" "$(basename "$installer")" -auto || rc=$?
fi
echo "talvok-demo.exe exited with code $rc"
echo
echo "== what setup.bat saw"
if [ -f "$report" ]; then
    cat "$report"
else
    echo "(no report: setup.bat did not run)"
fi
# The folder it ran in must be gone: the installer removes it after the
# command. Wine's C: is drive_c in the prefix.
folder=$(tr -d '\r' <"$report" 2>/dev/null | sed -n 's/^setup.bat ran in \(C:.*[^ ]\) *$/\1/p' || true)
if [ -n "$folder" ]; then
    unix_folder="$windows_dir/wineprefix/drive_c/$(sed 's|^C:\\||; s|\\|/|g' <<<"$folder")"
    if [ -e "$unix_folder" ]; then
        echo "the temporary folder $folder is still there"
    else
        echo "the temporary folder $folder has been removed"
    fi
fi

echo
echo "== a two-disk installer"
# The same payload spanned over two disks: tvsfx writes the disk
# folders and the label each disk must carry; Wine reads a label from the
# folder's .windows-label. Drive A: becomes a removable drive with disk 1 in
# it, the installer starts from A:, and when it asks for disk 2 the driver
# puts disk 2 in the drive (Wine's mount manager re-points A: and reads the
# new label) and presses OK.
set_dir=$out_dir/disks
rm -rf "$set_dir"
mkdir -p "$set_dir"
span_build() {
    "$tvsfx" build --arch $arch --out "$set_dir/TALVOK.EXE" --from-dir "$root/demo/payload" \
        --command setup.bat --parameters "/modo dos discos" --text "Instalador de demostración en dos discos." \
        --span "$1" "${@:2}"
}
# The demo payload is small: the disks are sized so that half its archive
# goes on disk 2 (the program and header, then half the archive, on disk 1).
span_build 10m --quiet
disk_bytes=$(($(stat -c %s "$set_dir/disk1/TALVOK.EXE") + $(stat -c %s "$set_dir/disk1/TALVOK.ZIP") / 2))
rm -rf "$set_dir"/disk*
span_build $disk_bytes
while read -r disk label; do
    printf '%s\n' "$label" >"$set_dir/$disk/.windows-label"
done <"$set_dir/labels.txt"
"$tvsfx" verify "$set_dir"/disk*
echo
rm -f "$report"
if [ -f "$driver" ]; then
    set_windows="Z:$(sed 's|/|\\|g' <<<"$set_dir")"
    bash "${wine_run[@]}" "$driver" disk "A:=$set_windows\\disk1"
    rc=0
    bash "${wine_run[@]}" "$driver" run --timeout 60 --env "TALVOK_DEMO_REPORT=$report_windows" --press-id 1 \
        --expect "Introduzca el disco 2 en la unidad A:." --insert-disk "A:=$set_windows\\disk2" --press-id 1 \
        -- 'A:\TALVOK.EXE' || rc=$?
    bash "${wine_run[@]}" "$driver" disk "A:=" || true
    echo "TALVOK.EXE from two disks exited with code $rc"
    echo "== what setup.bat saw"
    if [ -f "$report" ]; then cat "$report"; else echo "(no report: setup.bat did not run)"; fi
else
    echo "(no UI driver in $windows_dir: the two-disk run needs it to change the disk)"
fi

#!/usr/bin/env bash
# make screenshots: runs installers under Xvfb with Wine's X11 driver (the
# tests' null driver paints nothing) and writes PNGs of the main dialog, the
# meter part way (held by the cancel question), the password dialog and an
# error box, for a person to look at, and the main dialog of an installer
# with the author's icon, declared DPI-aware, at 150 % and 200 %; then the
# first four once more with English installers (main-dialog-en.png, ...):
#   screenshots.sh NATIVE_DIR WIN32_DIR WIN64_DIR
# The PNGs land in NATIVE_DIR/screenshots/.
set -euo pipefail
native_dir=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
if "$root/scripts/can-run-win32.sh" >/dev/null; then
    arch=x86 wine_arch=win32 windows_dir=$(cd "$2" && pwd)
else
    arch=x64 wine_arch=win64 windows_dir=$(cd "$3" && pwd)
fi
out=$native_dir/screenshots
installers=$out/installers
mkdir -p "$out"
rm -f "$out"/*.bmp "$out"/*.png
bash "$root/tests/win32/install_flow/make_installers.sh" "$native_dir/builder/tvsfx" "$installers" $arch \
    "$windows_dir/tests/win32/fake_setup.exe"

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1

windows_path() { echo "Z:$(sed 's|/|\\|g' <<<"$1")"; }
rc=0
DISPLAY=$display TALVOK_WINE_GRAPHICS=x11 bash "$root/scripts/wine-run.sh" --arch $wine_arch \
    --prefix "$windows_dir/wineprefix-x11" "$windows_dir/tools/uiauto/screenshots.exe" \
    "$(windows_path "$installers")" "$(windows_path "$out")" || rc=$?
# 150 % and 200 %: Wine's LogPixels set in a prefix per DPI, and res-all.exe
# (its own icon, --dpi-aware) in run.exe's place.
for dpi in 144 192; do
    scaled=$out/dpi-$dpi
    mkdir -p "$scaled/installers"
    cp "$installers"/*.exe "$scaled/installers/"
    cp "$installers/res-all.exe" "$scaled/installers/run.exe"
    scaled_wine() {
        DISPLAY=$display TALVOK_WINE_GRAPHICS=x11 bash "$root/scripts/wine-run.sh" --arch $wine_arch \
            --prefix "$windows_dir/wineprefix-x11-$dpi" "$@"
    }
    scaled_wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null || rc=$?
    scaled_wine "$windows_dir/tools/uiauto/screenshots.exe" "$(windows_path "$scaled/installers")" \
        "$(windows_path "$scaled")" || rc=$?
    mv "$scaled/main-dialog.bmp" "$out/main-dialog-$((dpi * 100 / 96)).bmp" || rc=1
    rm -rf "$scaled"
done
# The English installers (tvsfx build --language en) of the English walk-through.
english=$out/en
mkdir -p "$english"
bash "$root/tests/win32/english/make_installers.sh" "$native_dir/builder/tvsfx" "$english/installers" $arch \
    "$windows_dir/tests/win32/fake_setup.exe"
DISPLAY=$display TALVOK_WINE_GRAPHICS=x11 bash "$root/scripts/wine-run.sh" --arch $wine_arch \
    --prefix "$windows_dir/wineprefix-x11" "$windows_dir/tools/uiauto/screenshots.exe" \
    "$(windows_path "$english/installers")" "$(windows_path "$english")" || rc=$?
for shot in main-dialog meter password error; do
    mv "$english/$shot.bmp" "$out/$shot-en.bmp" || rc=1
done
rm -rf "$english"
python3 "$root/scripts/bmp_to_png.py" "$out"/*.bmp
rm -f "$out"/*.bmp
exit $rc

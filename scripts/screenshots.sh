#!/usr/bin/env bash
# screenshots.sh BUILD_DIR: pictures of the main window (both pages) and the About window at 96
# and 144 DPI, in a Wine prefix without Wine's fonts, as BUILD_DIR/screenshots/*.png.
set -euo pipefail
build=$(cd "$1" && pwd)
scripts=$(cd "$(dirname "$0")" && pwd)
out="$build/screenshots"
prefix="$build/wineprefix-nofonts"
"$scripts/display.sh" start "$build" >/dev/null
"$scripts/display.sh" start-nofonts "$build" >/dev/null
dpi() {
  WINEPREFIX="$prefix" WINEDEBUG=-all wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
    /d "$1" /f >/dev/null 2>&1
}
finish() {
  dpi 96
  "$scripts/display.sh" stop-nofonts "$build"
  "$scripts/display.sh" stop "$build"
}
trap finish EXIT
for d in 96 144; do
  dpi "$d"
  # A new DPI takes effect for programs started afterwards, with a fresh server.
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  (cd "$out" && QUORVANE_WINEPREFIX="$prefix" QUORVANE_SHOTS="$d" \
    "$build/wine-run.sh" "$out/screenshots.exe" --suite screenshots >/dev/null)
  for page in skins volumes about; do
    echo "screenshots: $out/$d-$page.png"
  done
done

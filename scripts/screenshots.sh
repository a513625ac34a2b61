#!/usr/bin/env bash
# screenshots.sh BUILD_DIR: pictures of the main window (both pages, and the Volumes page with its
# volume lists disabled) and the About window at 96 and 144 DPI, and at 96 DPI once more in a
# high-contrast colour scheme, in a Wine prefix without Wine's fonts, as BUILD_DIR/screenshots/*.png.
set -euo pipefail
build=$(cd "$1" && pwd)
scripts=$(cd "$(dirname "$0")" && pwd)
out="$build/screenshots"
prefix="$build/wineprefix-nofonts"
"$scripts/display.sh" start "$build" >/dev/null
"$scripts/display.sh" start-nofonts "$build" >/dev/null
reg() { WINEPREFIX="$prefix" WINEDEBUG=-all wine reg "$@" >/dev/null 2>&1; }
dpi() { reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f; }
colours='HKCU\Control Panel\Colors'
theme='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
# The prefix's own colours and visual style, kept here while the high-contrast scheme is in
# (not beside screenshots.exe, whose folder the pictures show).
saved="$build/saved-colours"
contrast() {
  mkdir -p "$saved"
  reg export "$colours" "$saved/colours.reg" /y
  reg export "$theme" "$saved/theme.reg" /y
  # Windows' "High Contrast Black", where it matters here, and no visual style, as Windows
  # draws in a high-contrast scheme.
  {
    echo 'REGEDIT4'
    echo '[HKEY_CURRENT_USER\Control Panel\Colors]'
    for pair in Window=0,0,0 WindowText=255,255,255 WindowFrame=255,255,255 Hilight=26,235,255 \
      HilightText=0,0,0 GrayText=63,242,63 HotTrackingColor=255,255,0 ButtonFace=0,0,0 \
      ButtonText=255,255,255 ButtonHilight=255,255,255 ButtonLight=255,255,255 ButtonShadow=128,128,128 \
      ButtonDkShadow=255,255,255 ActiveTitle=0,0,0 GradientActiveTitle=0,0,0 TitleText=255,255,255 \
      InactiveTitle=0,0,0 GradientInactiveTitle=0,0,0 InactiveTitleText=63,242,63 ActiveBorder=128,128,128 \
      InactiveBorder=128,128,128 Menu=0,0,0 MenuText=255,255,255 MenuBar=0,0,0 MenuHilight=128,0,128 \
      Scrollbar=0,0,0 AppWorkSpace=0,0,0 Background=0,0,0 InfoWindow=0,0,0 InfoText=255,255,255; do
      value=${pair#*=}
      echo "\"${pair%%=*}\"=\"${value//,/ }\""
    done
    echo "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager]"
    echo '"ThemeActive"="0"'
  } >"$saved/contrast.reg"
  reg import "$saved/contrast.reg"
}
restore() {
  if [ -f "$saved/colours.reg" ]; then
    reg import "$saved/colours.reg"
    reg import "$saved/theme.reg"
  fi
  rm -rf "$saved"
}
finish() {
  restore
  dpi 96
  "$scripts/display.sh" stop-nofonts "$build"
  "$scripts/display.sh" stop "$build"
}
trap finish EXIT
restore  # what a run stopped halfway may have left
shoot() {  # shoot NAME: every picture, named NAME-*.png
  # New colours and a new DPI take effect for programs started afterwards, with a fresh server.
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  (cd "$out" && QUORVANE_WINEPREFIX="$prefix" QUORVANE_SHOTS="$1" \
    "$build/wine-run.sh" "$out/screenshots.exe" >/dev/null)
  for page in skins volumes disabled about; do
    echo "screenshots: $out/$1-$page.png"
  done
}
for d in 96 144; do
  dpi "$d"
  shoot "$d"
done
dpi 96
contrast
shoot 96-contrast

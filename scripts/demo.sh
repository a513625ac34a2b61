#!/usr/bin/env bash
# demo.sh BUILD_DIR
# Lays out a demo game folder under the build folder (Quorvane.exe, the stand-in game tools,
# a few sample pictures and one volume) and starts Quorvane there under Wine. With no
# display to show it on, it starts it on a virtual display instead, saves a screenshot of
# the window into the demo folder, says where, and ends; whatever it started for that
# (Xvfb, openbox, a wineserver) ends with it, also when it fails halfway.
set -euo pipefail
build=$(cd "$1" && pwd)
scripts=$(cd "$(dirname "$0")" && pwd)
demo="$build/demo-game"
run="$build/wine-run.sh"

# Until Quorvane is handed the caller's display, everything started here is ours to end.
trap '"$scripts/display.sh" stop "$build"' EXIT
trap 'exit 130' INT TERM HUP  # through the EXIT trap above

# ImageMagick's own program, whatever else the PATH holds under its name.
imagemagick() {
  local candidate
  for candidate in "$(command -v "$1-im6.q16" || true)" "/usr/bin/$1" "$(command -v "$1" || true)"; do
    if [ -n "$candidate" ] && "$candidate" -version 2>/dev/null | grep -qF "Version: ImageMagick"; then
      echo "$candidate"
      return
    fi
  done
  echo "demo: ImageMagick's $1 is missing: make setup installs it" >&2
  return 1
}
convert=$(imagemagick convert)
import=$(imagemagick import)

mkdir -p "$demo"
cp "$build/bin/Quorvane.exe" "$build/bin/makeskin.exe" "$build/bin/vt.exe" "$demo/"
mkdir -p "$demo/pictures"
for colour in red blue green; do
  [ -f "$demo/pictures/$colour.bmp" ] ||
    "$convert" -size 64x64 "gradient:$colour-black" "BMP3:$demo/pictures/$colour.bmp"
done
[ -f "$demo/red.bmp" ] || cp "$demo/pictures/red.bmp" "$demo/red.bmp"
"$scripts/wine-prefix.sh" "$build/wineprefix"
if [ ! -f "$demo/sample.vol" ]; then
  (cd "$demo" && WINEDEBUG=-all WINEPREFIX="$build/wineprefix" wine ./vt.exe -sp sample.vol red.bmp >/dev/null)
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 && [ ! -f "$build/display/number" ]; then
  echo "demo: starting Quorvane in $demo"
  trap - EXIT INT TERM HUP
  cd "$demo" && exec "$run" ./Quorvane.exe
fi

# No display: a virtual one, a screenshot, and done.
"$scripts/display.sh" start "$build" 1 >/dev/null
export DISPLAY=":$(cat "$build/display/number")"
(cd "$demo" && "$run" ./Quorvane.exe) &
window=""
for _ in $(seq 150); do
  # awk reads the whole tree: leaving early would end xwininfo with SIGPIPE, and pipefail
  # would make that the script's end.
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Quorvane": \(/ && !found {print $1; found = 1}' || true)
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then
  echo "demo: Quorvane's window did not appear" >&2
  exit 1
fi
sleep 1  # let it finish painting
"$import" -window "$window" "$demo/screenshot.png"
echo "demo: no display here, so Quorvane ran on a virtual one."
echo "demo: screenshot of its window: $demo/screenshot.png"

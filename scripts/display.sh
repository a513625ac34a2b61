#!/usr/bin/env bash
# display.sh start|stop BUILD_DIR
# display.sh start-nofonts|stop-nofonts BUILD_DIR: the same for a second prefix, without Wine's
# fonts (BUILD_DIR/wineprefix-nofonts), on the display already started.
# Brings up what the window tests need: a ready Wine prefix inside the build folder, a
# virtual X display with a small window manager on it (without one, Wine waits about two
# seconds on every window it destroys) and a persistent wineserver. "stop" takes it down.
set -euo pipefail
cmd=$1
build=$(cd "$2" && pwd)
state="$build/display"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

stop() {
  # Wine's programs first, so that none of them is left talking to a vanished display.
  wineserver -k 2>/dev/null || true
  if [ -d "$state" ]; then
    for f in openbox xvfb; do
      [ -f "$state/$f.pid" ] && kill "$(cat "$state/$f.pid")" 2>/dev/null || true
    done
  fi
  rm -rf "$state"
}

case "$cmd" in
  start-nofonts)
    export WINEPREFIX="$build/wineprefix-nofonts"
    "$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX" --no-fonts
    DISPLAY=":$(cat "$state/number")"
    export DISPLAY
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
    echo "display: prefix without Wine's fonts ready"
    ;;
  stop-nofonts)
    WINEPREFIX="$build/wineprefix-nofonts" wineserver -k 2>/dev/null || true
    ;;
  start)
    stop
    "$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
    mkdir -p "$state"
    # -displayfd makes Xvfb pick a free display and tell us which one once it is ready.
    exec 3>"$state/number.tmp"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    exec 3>&-
    for _ in $(seq 100); do
      [ -s "$state/number.tmp" ] && break
      sleep 0.1
    done
    [ -s "$state/number.tmp" ] || { echo "display: Xvfb did not start" >&2; cat "$state/xvfb.log" >&2; exit 1; }
    tr -d '\n' <"$state/number.tmp" >"$state/number"
    rm -f "$state/number.tmp"
    export DISPLAY=":$(cat "$state/number")"
    openbox --sm-disable >"$state/openbox.log" 2>&1 &
    echo $! >"$state/openbox.pid"
    wineserver -p </dev/null >/dev/null 2>&1
    # The first Windows program also starts Wine's own background services, which live on
    # with the server. Start them here, detached from our output: a test that started them
    # would hand them its output pipe, and CTest would wait for them to close it.
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
    echo "display: $DISPLAY ready"
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: display.sh start|stop BUILD_DIR" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# display.sh start|stop BUILD_DIR [LANES]
# Brings up what the window tests need, once per lane: a ready Wine prefix inside the build
# folder, a virtual X display with a small window manager on it (without one, Wine waits
# about two seconds on every window it destroys) and a persistent wineserver. A window test
# needs the keyboard focus, which one wineserver gives one window at a time, and Wine follows
# the X focus, which one display gives one window at a time: each lane has both of its own,
# so that two window tests can run side by side. Lane 1 uses build/wineprefix and
# build/display, lane N build/wineprefix-N and build/display-N. "stop" takes every lane down.
# display.sh start-nofonts|stop-nofonts BUILD_DIR: a second prefix, without Wine's fonts
# (BUILD_DIR/wineprefix-nofonts), with its own server on lane 1's display, already started.
set -euo pipefail
cmd=$1
build=$(cd "$2" && pwd)
lanes=${3:-2}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

lane_dirs() {  # lane_dirs N: sets prefix and state for lane N
  if [ "$1" = 1 ]; then
    prefix="$build/wineprefix" state="$build/display"
  else
    prefix="$build/wineprefix-$1" state="$build/display-$1"
  fi
}

stop_lane() {
  lane_dirs "$1"
  # Wine's programs first, so that none of them is left talking to a vanished display.
  if [ -d "$prefix" ]; then WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; fi
  if [ -d "$state" ]; then
    for f in openbox xvfb; do
      [ -f "$state/$f.pid" ] && kill "$(cat "$state/$f.pid")" 2>/dev/null || true
    done
  fi
  rm -rf "$state"
}

stop() {
  for n in $(seq 1 9); do
    lane_dirs "$n"
    if [ -d "$state" ] || [ -d "$prefix" ]; then stop_lane "$n"; fi
  done
}

start_lane() {
  lane_dirs "$1"
  export WINEPREFIX="$prefix"
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
  echo "display: lane $1 on $DISPLAY ready"
}

case "$cmd" in
  start-nofonts)
    export WINEPREFIX="$build/wineprefix-nofonts"
    "$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX" --no-fonts
    lane_dirs 1
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
    trap 'stop' ERR
    "$(dirname "$0")/wine-prefix.sh" "$build/wineprefix"
    for n in $(seq 2 "$lanes"); do
      lane_dirs "$n"
      if ! cmp -s "$build/wineprefix/.quorvane-ready" "$prefix/.quorvane-ready"; then
        # A copy of lane 1's prefix, made while no server has it open, is ready in seconds
        # where making one takes Wine a while.
        rm -rf "$prefix"
        cp -a "$build/wineprefix" "$prefix"
      fi
    done
    for n in $(seq 1 "$lanes"); do start_lane "$n"; done
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: display.sh start|stop BUILD_DIR [LANES] | start-nofonts|stop-nofonts BUILD_DIR" >&2
    exit 2
    ;;
esac

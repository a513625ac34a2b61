#!/usr/bin/env bash
# wine-prefix.sh PREFIX: makes PREFIX a ready Wine prefix, once.
set -euo pipefail
prefix=$1
if [ -f "$prefix/.quorvane-ready" ]; then
  exit 0
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$prefix"
wineboot -i >/dev/null 2>&1
wineserver -w
touch "$prefix/.quorvane-ready"

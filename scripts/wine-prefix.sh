#!/usr/bin/env bash
# wine-prefix.sh PREFIX [--no-fonts]: makes PREFIX a ready Wine prefix, once.
# --no-fonts leaves out Wine's own fonts, as Debian's Wine and many players' prefixes have it.
set -euo pipefail
prefix=$1
fonts=${2:-}
if [ -f "$prefix/.quorvane-ready" ]; then
  exit 0
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$prefix"
wineboot -i >/dev/null 2>&1
# Debian's Wine does not look for its own fonts where fonts-wine puts them; without them
# "MS Sans Serif", the font the windows are laid out for, falls back to a wider one.
if [ "$fonts" != --no-fonts ] && [ -d /usr/share/wine/fonts ]; then
  cp -n /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
fi
# A program that crashes must end, as on a user's machine, rather than wait for someone to
# close Wine's crash dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w
touch "$prefix/.quorvane-ready"

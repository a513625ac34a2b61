#!/usr/bin/env bash
# Installs what building and testing Quorvane needs on a Debian machine, from Debian's own
# packages. Does nothing when everything is already there.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
have cmake   || need+=(cmake)
have make    || need+=(make)
have wine    || need+=(wine wine64)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
have Xvfb    || need+=(xvfb)
have openbox || need+=(openbox)
have xwininfo || need+=(x11-utils)
have convert || need+=(imagemagick)
have xauth   || need+=(xauth)
# Wine's own fonts, MS Sans Serif among them: the windows are laid out for it.
[ -f /usr/share/wine/fonts/ms_sans_serif.ttf ] || need+=(fonts-wine)

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${need[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  have sudo || { echo "setup: run as root or install sudo" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"

#!/usr/bin/env bash
# wine-prefix.sh PREFIX [--no-fonts]: makes PREFIX a ready Wine prefix, once (again when a
# prefix made by an older version of this script is found).
# --no-fonts leaves out Wine's own fonts, as Debian's Wine and many players' prefixes have it.
set -euo pipefail
prefix=$1
fonts=${2:-}
# Raise it whenever what this script sets changes.
version=3
if [ "$(cat "$prefix/.quorvane-ready" 2>/dev/null)" = "$version" ]; then
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

# The player's names show in "Microsoft Sans Serif", else "Tahoma", which Windows links to fonts
# of other scripts. Wine has no "Microsoft Sans Serif": a default prefix gives whatever face the
# host prefers for it, and for all three faces when Wine's fonts are left out. With Wine's fonts
# it is pinned to Wine's Tahoma, its sibling on Windows. Both faces link to a Chinese font of
# Debian's (scripts/setup.sh), which also has the Greek that Wine's Tahoma lacks: Wine finds a
# substitute's links under the face that really draws it, a missing face's under its own name.
current='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
if [ "$fonts" != --no-fonts ]; then
  wine reg add "$current\\FontSubstitutes" /v 'Microsoft Sans Serif' /t REG_SZ /d Tahoma /f >/dev/null 2>&1
fi
linked='wqy-microhei.ttc,WenQuanYi Micro Hei'
for face in 'Microsoft Sans Serif' Tahoma; do
  links=$(wine reg query "$current\\FontLink\\SystemLink" /v "$face" 2>/dev/null |
    sed -n "s/^ *$face *REG_MULTI_SZ *//p" | tr -d '\r')
  case "$links" in *"$linked"*) continue ;; esac
  wine reg add "$current\\FontLink\\SystemLink" /v "$face" /t REG_MULTI_SZ /d "${links:+$links\\0}$linked" /f \
    >/dev/null 2>&1
done
# A drive of the tests' own, Q:, whose root is a folder inside the prefix: there the tests make,
# rename and delete folders just below a drive's root.
mkdir -p "$prefix/drive_q"
ln -sfn ../drive_q "$prefix/dosdevices/q:"
wineserver -w
echo "$version" >"$prefix/.quorvane-ready"

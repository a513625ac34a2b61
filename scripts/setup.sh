#!/usr/bin/env bash
# Installs what building and testing Quorvane needs on a Debian machine, from Debian's own
# packages. Does nothing when everything is already there.
#
# A tool counts as there when its Debian package is installed: a command of the same name
# elsewhere on the PATH may be something else altogether (a `convert` that is not
# ImageMagick has been seen), and only the package says what the tool is. Such a look-alike
# that comes first on the PATH is named, and the scripts call the package's own program.
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64  # the cross compiler
  cmake make
  wine wine64
  xvfb openbox x11-utils xauth  # a virtual display for the tests and the demo
  imagemagick                   # the demo's pictures and its screenshot
  fonts-wine                    # MS Sans Serif: the windows are laid out for it
  zip                           # the release (make dist)
  yamllint python3-yaml         # the check of the Windows CI definition
  fonts-wqy-microhei            # Chinese (with Greek and Cyrillic) for names, linked in the test prefixes
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q ' installed$'; }

need=()
for package in "${packages[@]}"; do
  installed "$package" || need+=("$package")
done

if [ ${#need[@]} -ne 0 ]; then
  echo "setup: installing ${need[*]}"
  sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || { echo "setup: run as root or install sudo" >&2; exit 1; }
    sudo=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# What each command found on the PATH says it is; a look-alike is named, not trusted.
check() {  # check COMMAND WORDS ARGS...: what COMMAND ARGS prints must hold WORDS
  local command=$1 words=$2 path
  path=$(command -v "$command" 2>/dev/null) || { echo "setup: note: $command is not on the PATH" >&2; return 0; }
  if ! "$command" "${@:3}" 2>&1 | grep -qF "$words"; then
    echo "setup: note: $path is not what Debian's package installs (no \"$words\" in its answer)" >&2
  fi
}
check cmake "cmake version" --version
check x86_64-w64-mingw32-g++-posix "GCC" --version
check wine "wine-" --version
check convert "Version: ImageMagick" -version

#!/usr/bin/env bash
# dist.sh [JOBS]: the release for players, dist/Quorvane-VERSION-win64.zip and dist/SHA256SUMS
# (with Quorvane.exe beside them, so that `sha256sum -c SHA256SUMS` checks both).
# It builds the commit checked out, from a clean configure, twice: two copies of its files in
# two folders at different paths, each built in a folder of its own. It fails unless both give
# the same Quorvane.exe and the same zip, byte for byte: what a player who builds the same
# commit gets too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${1:-2}
cd "$root"

commit=$(git rev-parse HEAD)
# Every time in the release is the commit's: the same for every build of it.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "dist: note: changes not committed are left out; this builds commit $commit" >&2
fi

work="$root/build-dist"
rm -rf "$work" "$root/dist"
build() {  # build FOLDER: the commit's files in FOLDER/src, built in FOLDER/build
  local folder=$1
  mkdir -p "$folder/src"
  git archive --format=tar "$commit" | tar -x -C "$folder/src"
  cmake -S "$folder/src" -B "$folder/build" -DCMAKE_TOOLCHAIN_FILE="$folder/src/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$folder/configure.log"
  cmake --build "$folder/build" -j"$jobs" --target release >"$folder/build.log"
}
echo "dist: building commit $commit twice"
build "$work/one"
# The second under another time zone and umask too: neither may reach the release.
(umask 077 && TZ=Pacific/Chatham build "$work/the-second-build")

first="$work/one/build/release"
second="$work/the-second-build/build/release"
zip=$(cd "$first" && ls Quorvane-*-win64.zip)
differ=0
for name in Quorvane.exe "$zip" SHA256SUMS; do
  if ! cmp -s "$first/$name" "$second/$name"; then
    echo "dist: $name differs between the two builds:" >&2
    cmp -l "$first/$name" "$second/$name" | head -5 >&2 || true
    differ=1
  fi
done
if [ "$differ" != 0 ]; then
  echo "dist: the builds are not reproducible; both are kept in $work" >&2
  exit 1
fi

# What players get: the three files, and the texts with Windows' line ends.
listing=$(cd "$first" && cmake -E tar tf "$zip" | tr '\n' ' ')
if [ "$listing" != "LICENSE.txt Quorvane.exe README.txt " ]; then
  echo "dist: the zip holds $listing" >&2
  exit 1
fi
for text in README.txt LICENSE.txt; do
  if grep -qv $'\r$' "$first/$text"; then
    echo "dist: $text has lines without Windows' line ends" >&2
    exit 1
  fi
done

mkdir -p "$root/dist"
cp "$first/$zip" "$first/Quorvane.exe" "$first/SHA256SUMS" "$root/dist/"
rm -rf "$work"
echo "dist: both builds agree byte for byte"
(cd "$root/dist" && sha256sum -c SHA256SUMS >/dev/null && sed 's/^/dist: /' SHA256SUMS)
echo "dist: $root/dist/$zip"

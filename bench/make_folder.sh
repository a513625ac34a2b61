#!/bin/sh
# make_folder.sh FOLDER COUNT: makes FOLDER hold COUNT empty pictures, named as the folder
# bench expects (Skin00001.bmp, skin00002.BMP, ...). Made from the host side: under Wine,
# making this many files one by one takes minutes.
set -eu
folder=$1
count=$2
mkdir -p "$folder"
cd "$folder"
awk -v n="$count" 'BEGIN {
  for (i = 1; i <= n; i++) printf(i % 2 ? "Skin%05d.bmp\n" : "skin%05d.BMP\n", i)
}' | xargs touch

#!/usr/bin/env bash
# make-package.sh ORVATTE_EXE OUTDIR: lays out the demo product (main program, icon, nested data
# files, a dot file that an uninstall must keep) and packs it with the password "402615"; a second
# version of it (other data, same layout) goes into package-v2.zip, its files into tree-v2.
set -euo pipefail
exe=$1 out=$2
tree="$out/tree"
rm -rf "$tree" && mkdir -p "$tree/data/skins/classic"
cp "$exe" "$tree/Orvatte.exe"
convert -size 32x32 xc:'#0F87FF' -fill white -draw 'circle 16,16 16,6' "$tree/default.ico"
printf 'language=zh-CN\r\n' > "$tree/data/settings.ini"
printf 'Orvatte demo data\r\n' > "$tree/data/readme.txt"
printf 'classic skin\r\n' > "$tree/data/skins/classic/skin.txt"
printf "kept by uninstall\r\n" > "$tree/.orvatte-profile"
head -c 300000 /dev/urandom > "$tree/data/blob.bin"
rm -f "$out/package.zip"
(cd "$tree" && zip -q -r -X -P 402615 "$out/package.zip" .)
rm -rf "$out/tree-v2" && cp -a "$tree" "$out/tree-v2"
printf 'Orvatte demo data, version 2\r\n' > "$out/tree-v2/data/readme.txt"
head -c 300000 /dev/urandom > "$out/tree-v2/data/blob.bin"
rm -f "$out/package-v2.zip"
(cd "$out/tree-v2" && zip -q -r -X -P 402615 "$out/package-v2.zip" .)
# A damaged copy: cut off before its central directory.
head -c 200000 "$out/package.zip" > "$out/damaged.zip"

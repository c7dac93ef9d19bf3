#!/usr/bin/env bash
# make-package.sh ORVATTE_EXE OUTDIR PASSWORD: lays out the demo product (main program, icon,
# nested data files, a file with a Chinese name, a dot file that an uninstall must keep) and packs it
# as docs/maker.md recommends: 7z, ZIP format, AES-256, names in UTF-8. A second version of it
# (other data, same layout) goes into package-v2.zip, its files into tree-v2.
set -euo pipefail
exe=$1 out=$2 password=$3
tree="$out/tree"
rm -rf "$tree" && mkdir -p "$tree/data/skins/classic"
cp "$exe" "$tree/Orvatte.exe"
convert -size 32x32 xc:'#0F87FF' -fill white -draw 'circle 16,16 16,6' "$tree/default.ico"
printf 'language=zh-CN\r\n' > "$tree/data/settings.ini"
printf 'Orvatte demo data\r\n' > "$tree/data/readme.txt"
printf '示例笔记\r\n' > "$tree/data/笔记示例.txt"
printf 'classic skin\r\n' > "$tree/data/skins/classic/skin.txt"
printf "kept by uninstall\r\n" > "$tree/.orvatte-profile"
head -c 300000 /dev/urandom > "$tree/data/blob.bin"
pack() {  # pack FOLDER ARCHIVE
  rm -f "$2"
  (cd "$1" && 7z a -tzip -mem=AES256 -mcu=on "-p$password" "$2" . >/dev/null)
}
pack "$tree" "$out/package.zip"
rm -rf "$out/tree-v2" && cp -a "$tree" "$out/tree-v2"
printf 'Orvatte demo data, version 2\r\n' > "$out/tree-v2/data/readme.txt"
head -c 300000 /dev/urandom > "$out/tree-v2/data/blob.bin"
pack "$out/tree-v2" "$out/package-v2.zip"
# A damaged copy: cut off before its central directory.
head -c 200000 "$out/package.zip" > "$out/damaged.zip"

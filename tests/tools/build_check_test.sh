#!/usr/bin/env bash
# The build stops on a broken product folder with the checker's whole list, and goes on (printing
# the warnings) for a folder with only warnings: a small CMake project that embeds a product folder
# the way the installer's build does, built once with each.
# usage: build_check_test.sh SOURCE_ROOT
set -u
root=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

mkdir -p "$work/project" "$work/product"
cat > "$work/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(product_check_probe NONE)
include("$root/cmake/ProductResources.cmake")
add_custom_target(probe ALL)
installer_check_product(probe "\${INSTALLER_PRODUCT_DIR}")
CMAKE
for picture in msgbox icon_ques icon_warn btn_msg_normal btn_msg_over btn_msg_down btn_empty_normal btn_empty_over btn_empty_down; do
  cp "$root/resources/product/$picture.png" "$work/product/"
done
good='"SoftId": "notes_win", "Title": "Notes", "Version": "1", "ProgramDirName": "Notes", "MainProg": "Notes.exe", "MainProgPath": "\\\\", "ShortcutName": "Notes"'

build() {
  cmake -S "$work/project" -B "$work/build" -DINSTALLER_PRODUCT_DIR="$work/product" >/dev/null 2>&1 || { echo "configure failed"; return 2; }
  cmake --build "$work/build" 2>&1
}

printf '{%s, "ProgramDirname": "x",\n}' "$good" > "$work/product/configfile.json"
out=$(build); code=$?
[ $code -ne 0 ] || fail "a broken folder built"
grep -qF 'error: configfile.json: not strict JSON: Expecting property name enclosed in double quotes at line 2, column 1 (a comma after the last member?)' <<<"$out" \
  || fail "no JSON error in:"$'\n'"$out"

printf '{%s, "ProgramDirname": "x"}' "$good" > "$work/product/configfile.json"
out=$(build); code=$?
[ $code -ne 0 ] || fail "an unknown key built"
grep -qF 'error: configfile.json: unknown key "ProgramDirname" (did you mean "ProgramDirName"?)' <<<"$out" || fail "no key error in:"$'\n'"$out"

# Fixed, with a picture of the wrong size: the build goes on and shows the warning.
printf '{%s}' "$good" > "$work/product/configfile.json"
cp "$root/resources/product/btn_msg_normal.png" "$work/product/btn_msg_over.png"
out=$(build); code=$?
[ $code -eq 0 ] || fail "a good folder did not build:"$'\n'"$out"
grep -qF 'warning: btn_msg_over.png: 100 x 30; the layout draws it at 200 x 48' <<<"$out" || fail "no size warning in:"$'\n'"$out"

# A later mistake is caught again: the check runs whenever a file of the folder changes.
printf '{%s}' "${good/\"Notes.exe\"/\"\"}" > "$work/product/configfile.json"
out=$(build); code=$?
[ $code -ne 0 ] || fail "an emptied required key built"
grep -qF 'error: configfile.json: "MainProg" is empty; it is required' <<<"$out" || fail "no required-key error in:"$'\n'"$out"
[ $failed -eq 0 ] && echo ok
exit $failed

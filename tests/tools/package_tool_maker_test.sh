#!/usr/bin/env bash
# package-tool as a maker uses it, on packages made at test time by Info-ZIP's zip and by 7z:
# extract makes its destination, check finds the main program of a product folder (or says where
# the package has it instead), warns of names without the UTF-8 flag, and prints the SHA-256 that
# sha256sum gives.
# usage: package_tool_maker_test.sh PACKAGE_TOOL
set -u
tool=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
fail() { echo "FAIL: $*"; failed=1; }
expect_line() {  # expect_line TEXT LINE WHAT
  grep -qxF -- "$2" <<<"$1" || fail "$3: no line [$2] in:"$'\n'"$1"
}

mkdir -p tree/bin && printf 'main' > tree/bin/Notes.exe && printf 'note' > 'tree/笔记示例.txt'
(cd tree && zip -q -r -P pw ../infozip.zip . && 7z a -tzip -mem=AES256 -mcu=on -ppw ../sevenzip.zip . >/dev/null)
product() {  # product MAINPROGPATH MAINPROG: a product folder whose configuration names them
  rm -rf product && mkdir product
  printf '{"MainProgPath": "%s", "MainProg": "%s"}' "$1" "$2" > product/configfile.json
}
warning='warning 笔记示例.txt: name stored without the UTF-8 flag; each Windows reads it in its own code page, so it may be installed under another name (pack with 7z, see docs/maker.md)'

# extract creates a destination that does not exist yet, parents included.
text=$("$tool" extract sevenzip.zip out/new/dest pw)
[ $? -eq 0 ] || fail "extract into a new folder: exit code"
cmp -s out/new/dest/bin/Notes.exe tree/bin/Notes.exe || fail "extract into a new folder: bin/Notes.exe"
cmp -s "out/new/dest/笔记示例.txt" "tree/笔记示例.txt" || fail "extract: the Chinese name"

# The main program where MainProgPath + MainProg say, letter case aside as on Windows.
product '\\bin\\' 'notes.EXE'
text=$("$tool" check sevenzip.zip pw product)
[ $? -eq 0 ] || fail "main program present: exit code"$'\n'"$text"
expect_line "$text" "found main program bin/Notes.exe" "main program present"
expect_line "$text" "sha256 $(sha256sum sevenzip.zip | cut -d' ' -f1)" "7z package's digest"
grep -q '^warning' <<<"$text" && fail "7z with UTF-8 names: no warning expected"$'\n'"$text"

# Missing: said so, with where the package has a file of that name.
product '\\' 'Notes.exe'
text=$("$tool" check sevenzip.zip pw product)
[ $? -eq 1 ] || fail "main program missing: exit code"
expect_line "$text" "error main program Notes.exe (MainProgPath + MainProg) is not in the package (it holds bin/Notes.exe)" \
  "main program missing"

# A wrong password skips the main program too.
product '\\bin\\' 'Notes.exe'
text=$("$tool" check sevenzip.zip wrong product)
[ $? -eq 1 ] || fail "wrong password: exit code"
expect_line "$text" "error main program bin/Notes.exe: skipped" "main program skipped"

# Info-ZIP stores the Chinese name without the flag: a warning, not a failure.
text=$("$tool" check infozip.zip pw)
[ $? -eq 0 ] || fail "Info-ZIP package: exit code"
expect_line "$text" "$warning" "Info-ZIP name"
expect_line "$text" "sha256 $(sha256sum infozip.zip | cut -d' ' -f1)" "Info-ZIP package's digest"

# A product folder without a usable configuration.
mkdir -p empty
text=$("$tool" check sevenzip.zip pw empty)
[ $? -eq 1 ] || fail "no configuration: exit code"
expect_line "$text" "error empty/configfile.json: no readable configuration with MainProg" "no configuration"

"$tool" check sevenzip.zip pw product extra >/dev/null 2>&1
[ $? -eq 2 ] || fail "too many arguments: usage exit code"
[ $failed -eq 0 ] && echo ok
exit $failed

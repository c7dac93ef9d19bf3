#!/usr/bin/env bash
# The maker's tool: one line per entry, the totals, and the exit code (0 every entry came through,
# 1 any entry skipped or nothing read, 2 bad usage). Arguments: the tool, the folder of test archives.
set -u
tool=$1
archives=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$out/dest"
text=$("$tool" extract "$archives/traversal.zip" "$out/dest" 402615)
[ $? -eq 1 ] || fail "extract exit code with entries skipped"
grep -qx 'skipped ../evil.txt: name outside the destination folder' <<<"$text" || fail "no skipped line: $text"
grep -qx 'extracted safe.txt' <<<"$text" || fail "no extracted line: $text"
[ "$(tail -n1 <<<"$text")" = "2 files extracted, 0 folders, 7 skipped" ] || fail "totals: $text"
[ -f "$out/dest/safe.txt" ] || fail "safe.txt not written"

text=$("$tool" check "$archives/7z_aes256.zip" 000000)
[ $? -eq 1 ] || fail "wrong password exit code"
grep -qx 'skipped readme.txt: wrong password' <<<"$text" || fail "wrong password line: $text"

text=$("$tool" check "$archives/damaged_aes.zip" 402615)
[ $? -eq 1 ] || fail "check exit code with a damaged entry"
grep -qx 'skipped readme.txt: damaged data' <<<"$text" || fail "check misses damage: $text"
"$tool" check "$archives/7z_aes256.zip" 402615 >/dev/null || fail "check exit code of a whole package"
"$tool" extract "$archives/7z_aes256.zip" "$out/whole" 402615 >/dev/null || fail "extract exit code of a whole package"
"$tool" check "$archives/overlap.zip" "" | grep -qx 'skipped second.txt: data overlaps another entry' || fail "overlap line"
"$tool" extract "$archives/broken_directory.zip" "$out/dest" 402615 >/dev/null
[ $? -eq 1 ] || fail "damaged directory exit code"
"$tool" extract "$archives/tree/readme.txt" "$out/dest" 402615 | grep -q 'not a ZIP archive' || fail "non-zip message"
"$tool" check >/dev/null 2>&1
[ $? -eq 2 ] || fail "usage exit code"
echo ok

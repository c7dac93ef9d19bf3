#!/usr/bin/env bash
# The maker's tool: one line per entry, the totals, and the exit code (0 some extracted, 1 none,
# 2 bad usage). Arguments: the tool, the folder of test archives.
set -u
tool=$1
archives=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$out/dest"
text=$("$tool" extract "$archives/traversal.zip" "$out/dest" 402615)
[ $? -eq 0 ] || fail "extract exit code"
grep -qx 'skipped ../evil.txt: name outside the destination folder' <<<"$text" || fail "no skipped line: $text"
grep -qx 'extracted safe.txt' <<<"$text" || fail "no extracted line: $text"
[ "$(tail -n1 <<<"$text")" = "2 files extracted, 0 folders, 7 skipped" ] || fail "totals: $text"
[ -f "$out/dest/safe.txt" ] || fail "safe.txt not written"

text=$("$tool" check "$archives/7z_aes256.zip" 000000)
[ $? -eq 1 ] || fail "wrong password exit code"
grep -qx 'skipped readme.txt: wrong password' <<<"$text" || fail "wrong password line: $text"

"$tool" check "$archives/damaged_aes.zip" 402615 | grep -qx 'skipped readme.txt: damaged data' || fail "check misses damage"
"$tool" extract "$archives/tree/readme.txt" "$out/dest" 402615 | grep -q 'not a ZIP archive' || fail "non-zip message"
"$tool" check >/dev/null 2>&1
[ $? -eq 2 ] || fail "usage exit code"
echo ok

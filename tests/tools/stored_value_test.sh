#!/usr/bin/env bash
# The configure step's enciphering (cmake/StoredValues.cmake, through the openssl tool) against the
# project's own encoder, at the block boundaries and with characters that need quoting; and its
# refusal of text whose bytes would depend on the installing machine's code page.
# usage: stored_value_test.sh ENCODE_STORED STORED_VALUES_CMAKE KEY
set -uo pipefail
encoder=$(realpath "$1") script=$(realpath "$2") key=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
for plain in "" "7" "402615" "fifteen bytes.." "sixteen bytes..." "seventeen bytes.." 'q"uo\te $x `y`' \
             "a password of forty bytes, three blocks"; do
  ours=$("$encoder" "$key" "$plain")
  made=$(cmake -DPLAIN="$plain" -P "$script" 2>&1)
  if [ "$made" != "$ours" ]; then
    echo "FAIL [$plain]: configure gives $made, encode-stored gives $ours"
    failed=1
  fi
done
if out=$(cmake -DPLAIN="密码" -P "$script" 2>&1) || ! grep -q "printable ASCII" <<<"$out"; then
  echo "FAIL: a non-ASCII password was not refused: $out"
  failed=1
fi
[ -z "$(ls -A "$work")" ] || { echo "FAIL: left behind: $(ls -A "$work")"; failed=1; }
exit $failed

#!/usr/bin/env bash
# The Wine user's Desktop and document folders must be real folders inside the prefix, never
# links into the Linux home, so that tests that create shortcuts or delete files stay inside.
set -euo pipefail
prefix=$(realpath -m "$1")
"$(dirname "$0")/../../scripts/wine-prefix" "$prefix"
found=0
for home in "$prefix"/drive_c/users/*/; do
  [ "$(basename "$home")" = Public ] && continue
  for sub in Desktop Documents Downloads Music Pictures Videos Templates; do
    p="$home$sub"
    [ -L "$p" ] && { echo "FAIL: $p is a link to $(readlink "$p")"; exit 1; }
    [ -d "$p" ] || { echo "FAIL: $p is missing"; exit 1; }
    case "$(realpath "$p")" in "$prefix"/*) ;; *) echo "FAIL: $p resolves outside the prefix"; exit 1;; esac
    found=$((found + 1))
  done
done
[ "$found" -gt 0 ] || { echo "FAIL: no user folders in $prefix"; exit 1; }
echo "$found user folders, all inside the prefix"

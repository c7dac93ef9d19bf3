#!/usr/bin/env bash
# The installer starts under Wine and shows its window, captioned with the product's title.
set -euo pipefail
: "${DISPLAY:?needs an X display (scripts/test provides one)}"
wine_run=$1 exe=$2 config=$3
title=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1], encoding="utf-8"))["Title"])' "$config")
"$wine_run" "$exe" &
pid=$!
trap 'WINEDEBUG=-all "${WINELOADER:-wine}" taskkill /F /IM "$(basename "$exe")" >/dev/null 2>&1 || true; wait "$pid" 2>/dev/null || true' EXIT
for _ in $(seq 1 60); do
  if xdotool search --name "^${title}\$" >/dev/null 2>&1; then echo "window shown"; exit 0; fi
  kill -0 "$pid" 2>/dev/null || { echo "FAIL: installer ended before showing a window"; exit 1; }
  sleep 0.5
done
echo "FAIL: no window within 30 s"; exit 1

#!/usr/bin/env bash
# The installer starts under Wine and shows its window.
set -euo pipefail
: "${DISPLAY:?needs an X display (scripts/test provides one)}"
wine_run=$1 exe=$2
"$wine_run" "$exe" &
pid=$!
trap 'WINEDEBUG=-all wine taskkill /F /IM "$(basename "$exe")" >/dev/null 2>&1 || true; wait "$pid" 2>/dev/null || true' EXIT
for _ in $(seq 1 60); do
  if xdotool search --name '^Install$' >/dev/null 2>&1; then echo "window shown"; exit 0; fi
  kill -0 "$pid" 2>/dev/null || { echo "FAIL: installer ended before showing a window"; exit 1; }
  sleep 0.5
done
echo "FAIL: no window within 30 s"; exit 1

#!/usr/bin/env bash
# A dwmapi.dll planted beside a program that delay-loads it: with Wine told to prefer native DLLs
# it is loaded when nothing protects the program (so the test can see a planted DLL at all), and
# not loaded once the program restricts the search to System32, nor on the fallback path of a
# Windows 7 without SetDefaultDllDirectories, where each delay-loaded DLL is loaded by its full
# System32 path.
set -euo pipefail
wine_run=$1 probe=$2 planted=$3 dir=$4
rm -rf "$dir" && mkdir -p "$dir"
cp "$probe" "$dir/probe.exe"
cp "$planted" "$dir/dwmapi.dll"
export WINEDLLOVERRIDES="dwmapi=n,b"

"$wine_run" "$dir/probe.exe" noprotect
[ -f "$dir/planted.txt" ] || { echo "FAIL: without protection the planted DLL was not loaded; the test proves nothing"; exit 1; }

for mode in protect fallback; do
  rm -f "$dir/planted.txt"
  code=0
  "$wine_run" "$dir/probe.exe" "$mode" || code=$?
  [ "$code" -eq 0 ] || { echo "FAIL: $mode: the probe ended with $code"; exit 1; }
  [ ! -f "$dir/planted.txt" ] || { echo "FAIL: $mode: the planted DLL was loaded"; exit 1; }
done
echo "planted DLL loaded without protection, ignored with it and on the fallback path"

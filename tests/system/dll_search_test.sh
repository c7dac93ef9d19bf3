#!/usr/bin/env bash
# A dwmapi.dll planted beside a program that delay-loads it: with Wine told to prefer native DLLs
# it is loaded when the search is not restricted (so the test can see a planted DLL at all), and
# not loaded once the program restricts the search to System32.
set -euo pipefail
wine_run=$1 probe=$2 planted=$3 dir=$4
rm -rf "$dir" && mkdir -p "$dir"
cp "$probe" "$dir/probe.exe"
cp "$planted" "$dir/dwmapi.dll"
export WINEDLLOVERRIDES="dwmapi=n,b"

"$wine_run" "$dir/probe.exe" noprotect
[ -f "$dir/planted.txt" ] || { echo "FAIL: without protection the planted DLL was not loaded; the test proves nothing"; exit 1; }
rm -f "$dir/planted.txt"

"$wine_run" "$dir/probe.exe" protect
[ ! -f "$dir/planted.txt" ] || { echo "FAIL: the planted DLL was loaded despite the restriction"; exit 1; }
echo "planted DLL loaded without protection, ignored with it"

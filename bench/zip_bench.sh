#!/usr/bin/env bash
# Extraction speed and peak memory of the host build's package-tool against 7z and unzip, on the
# same archives in the same run: 200 MB of mixed compressible and incompressible files, as Stored,
# Deflate with traditional encryption and Deflate with AES-256. Prints the median of RUNS
# extractions per tool and archive, the ratio of package-tool's time to each other tool's, and the
# peak resident memory, and the machine's load before and after (other work slows every tool of a
# round alike). Not a test: timings depend on the machine.
#   bench/zip_bench.sh [RUNS]       (needs a host build: cmake --build --preset host)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
tool=$PWD/build/host/package-tool
work=$PWD/build/bench
password=402615
[ -x "$tool" ] || { echo "build the host preset first" >&2; exit 1; }
mkdir -p "$work"

if [ ! -f "$work/stored.zip" ]; then
  rm -rf "$work/tree" && mkdir -p "$work/tree"
  python3 - "$work/tree" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(1)
words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10))) for _ in range(5000)]
for i in range(40):  # 40 x 2.5 MB of text-like data, 40 x 2.5 MB of random bytes
    folder = os.path.join(root, "part%d" % (i % 5), "sub%d" % (i % 3))
    os.makedirs(folder, exist_ok=True)
    text = bytearray()
    while len(text) < 2_500_000:
        text += b" ".join(rng.choices(words, k=64)) + b"\n"
    open(os.path.join(folder, "text%d.txt" % i), "wb").write(text)
    open(os.path.join(folder, "data%d.bin" % i), "wb").write(os.urandom(2_500_000))
PY
  (cd "$work/tree" && zip -q -r -0 "$work/stored.zip" . &&
    zip -q -r -P "$password" "$work/deflate_traditional.zip" . &&
    7z a -tzip -p"$password" -mem=AES256 -mm=Deflate "$work/deflate_aes256.zip" . >/dev/null)
fi

# Runs the three extractions of one archive in turn, $runs rounds, each into a fresh folder, so that
# a busy machine slows all of them alike. Prints per tool: median wall seconds, median CPU seconds
# (user + system), largest peak RSS in MiB.
measure_archive() {
  local zip=$1 out="$work/out" tool_names=(package-tool 7z unzip)
  local -A wall cpu peak
  for ((i = 0; i < runs; i++)); do
    for name in "${tool_names[@]}"; do
      local cmd
      case $name in
        package-tool) cmd=("$tool" extract "$zip" "$out" "$password") ;;
        7z) cmd=(7z x -y -p"$password" -o"$out" "$zip") ;;
        unzip) [ "$(basename "$zip")" = deflate_aes256.zip ] && continue  # unzip reads no WinZip AES
               cmd=(unzip -q -o -P "$password" "$zip" -d "$out") ;;
      esac
      rm -rf "$out" && mkdir -p "$out" && sync
      /usr/bin/time -o "$work/time" -f "%e %U %S %M" "${cmd[@]}" >/dev/null 2>&1 || true
      read -r e u s m <"$work/time"
      wall[$name]+="$e "
      cpu[$name]+="$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }') "
      [ "$m" -gt "${peak[$name]:-0}" ] && peak[$name]=$m
    done
  done
  rm -rf "$out"
  median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "n/a"; else print v[int((NR + 1) / 2)] }'; }
  for name in "${tool_names[@]}"; do
    printf '%s %s %s %s\n' "$name" "$(median <<<"${wall[$name]:-}")" "$(median <<<"${cpu[$name]:-}")" \
      "$(awk -v k="${peak[$name]:-0}" 'BEGIN { printf "%.1f", k / 1024 }')"
  done
}

ratio() { { [ "$1" = n/a ] || [ "$2" = n/a ]; } && echo n/a || awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

load() { cut -d' ' -f1-3 /proc/loadavg; }
echo "load average (1, 5, 15 min) before: $(load); $(nproc) cores"
printf '%-20s %-12s %7s %7s %8s %14s %14s\n' archive tool wall_s cpu_s peak_MiB wall_vs_7z/unzip cpu_vs_7z/unzip
for archive in stored deflate_traditional deflate_aes256; do
  declare -A W C M
  while read -r name w c m; do W[$name]=$w C[$name]=$c M[$name]=$m; done < <(measure_archive "$work/$archive.zip")
  printf '%-20s %-12s %7s %7s %8s %14s %14s\n' "$archive" package-tool "${W[package-tool]}" "${C[package-tool]}" "${M[package-tool]}" \
    "$(ratio "${W[package-tool]}" "${W[7z]}")/$(ratio "${W[package-tool]}" "${W[unzip]}")" \
    "$(ratio "${C[package-tool]}" "${C[7z]}")/$(ratio "${C[package-tool]}" "${C[unzip]}")"
  for name in 7z unzip; do
    printf '%-20s %-12s %7s %7s %8s\n' "" "$name" "${W[$name]}" "${C[$name]}" "${M[$name]}"
  done
done
echo "load average after: $(load)"

#!/usr/bin/env bash
# Times scantelk on a large generated run against the I/O floor: reading both input files and
# writing as many bytes as the summary holds. Run by hand from the repository root:
#
#   bash bench/run_benchmark.sh [years] [runs]
#
# The reference run is 2000 years, 500 ages, 2 fleets, 2 selectivity blocks, 20 used indices.
# It prints the median ratio scantelk/floor, the throughput and the peak memory.
set -euo pipefail

years=${1:-2000}
runs=${2:-7}
root=$(cd "$(dirname "$0")/.." && pwd)
work=${BENCH_DIR:-/tmp/scantelk-bench}
base="$work/ref-$years"
mkdir -p "$work"

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j2 --target scantelk >/dev/null
binary="$root/build/scantelk"

if [ ! -f "$base.rep" ]; then
  echo "generating $base.dat and $base.rep ..."
  python3 "$root/scripts/make_run.py" "$base" --years "$years" --ages 500 --fleets 2 \
    --sel-blocks 2 --indices 20
fi
"$binary" "$base.dat"  # warm the page cache and produce the summary once
summary_bytes=$(stat -c %s "$base.tmp")
input_bytes=$(( $(stat -c %s "$base.dat") + $(stat -c %s "$base.rep") ))

seconds() { local start end; start=$(date +%s.%N); "$@"; end=$(date +%s.%N); echo "$end - $start" | bc -l; }
floor_once() {
  cat "$base.dat" "$base.rep" >/dev/null
  head -c "$summary_bytes" /dev/zero >"$work/floor.out"
}

ratios=()
for _ in $(seq "$runs"); do
  t_run=$(seconds "$binary" "$base.dat")
  t_floor=$(seconds floor_once)
  ratios+=("$(echo "$t_run / $t_floor" | bc -l) $t_run $t_floor")
done
rm -f "$work/floor.out"

median=$(printf '%s\n' "${ratios[@]}" | sort -g | sed -n "$(( (runs + 1) / 2 ))p")
read -r ratio t_run t_floor <<<"$median"
peak_kb=$(/usr/bin/time -v "$binary" "$base.dat" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}')
mb() { echo "scale=1; $1 / 1000000" | bc -l; }
printf 'run: %s years; input %s MB, summary %s MB\n' "$years" "$(mb "$input_bytes")" "$(mb "$summary_bytes")"
printf 'median: scantelk %.3f s, I/O floor %.3f s, ratio %.2f\n' "$t_run" "$t_floor" "$ratio"
printf 'throughput: %.0f MB/s (input plus summary bytes)\n' \
  "$(echo "($input_bytes + $summary_bytes) / $t_run / 1000000" | bc -l)"
printf 'peak memory: %.1f MB\n' "$(echo "$peak_kb / 1000" | bc -l)"

#!/usr/bin/env bash
# Times scantelk on a large generated run against the I/O floor: reading both input files and
# writing as many bytes as the summary holds. Run by hand from the repository root:
#
#   bash bench/run_benchmark.sh [years] [runs]
#
# The reference run is 2000 years, 500 ages, 2 fleets, 2 selectivity blocks, 20 used indices.
# scantelk and the floor run alternately; it prints the median ratio scantelk/floor of the
# wall-clock time and of the CPU time (user + system of the child processes), the throughput
# and the peak memory. The CPU ratio is the measure to compare: the floor's wall-clock time
# depends on the page cache's write-back, its CPU time hardly.
set -euo pipefail

years=${1:-2000}
runs=${2:-7}
ages=500
fleets=2
indices=20
root=$(cd "$(dirname "$0")/.." && pwd)
work=${BENCH_DIR:-/tmp/scantelk-bench}
base="$work/ref-$years"
mkdir -p "$work"

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j2 --target scantelk >/dev/null
binary="$root/build/scantelk"

if [ ! -f "$base.rep" ]; then
  echo "generating $base.dat and $base.rep ..."
  /usr/bin/python3 "$root/scripts/make_run.py" "$base" --years "$years" --ages "$ages" \
    --fleets "$fleets" --sel-blocks 2 --indices "$indices"
fi
"$binary" "$base.dat"  # warm the page cache and produce the summary once
summary_bytes=$(stat -c %s "$base.tmp")
input_bytes=$(( $(stat -c %s "$base.dat") + $(stat -c %s "$base.rep") ))

floor_once() {
  cat "$base.dat" "$base.rep" >/dev/null
  head -c "$summary_bytes" /dev/zero >"$work/floor.out"
}

# User plus system seconds of the finished children, from the second line of bash's `times`
# ("0m0.123s 0m0.045s").
children_seconds() {
  awk 'NR == 2 { split($0, t, /[ms ]+/); printf "%.3f\n", t[1] * 60 + t[2] + t[3] * 60 + t[4] }' "$1"
}

# Runs a command and prints its wall-clock and CPU seconds. Nothing else runs as a child between
# the two readings of `times`, which therefore differ by exactly the command's CPU time.
measure() {
  local start end
  times >"$work/times.before"
  start=$EPOCHREALTIME
  "$@"
  end=$EPOCHREALTIME
  times >"$work/times.after"
  echo "$(echo "$end - $start" | bc -l)" \
    "$(echo "$(children_seconds "$work/times.after") - $(children_seconds "$work/times.before")" | bc -l)"
}

median() { sort -g | sed -n "$(( (runs + 1) / 2 ))p"; }

wall_ratios=()
cpu_ratios=()
for _ in $(seq "$runs"); do
  read -r wall_run cpu_run <<<"$(measure "$binary" "$base.dat")"
  read -r wall_floor cpu_floor <<<"$(measure floor_once)"
  wall_ratios+=("$(echo "$wall_run / $wall_floor" | bc -l) $wall_run $wall_floor")
  cpu_ratios+=("$(echo "$cpu_run / $cpu_floor" | bc -l) $cpu_run $cpu_floor")
done
rm -f "$work/floor.out" "$work/times.before" "$work/times.after"

read -r wall_ratio wall_run wall_floor <<<"$(printf '%s\n' "${wall_ratios[@]}" | median)"
read -r cpu_ratio cpu_run cpu_floor <<<"$(printf '%s\n' "${cpu_ratios[@]}" | median)"
peak_kb=$(/usr/bin/time -v "$binary" "$base.dat" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}')
# Cells of all tables: per year 6 tables by age, 6 columns per fleet, 5 per index, 3 + 3 more.
table_bytes=$(( years * (6 * ages + 6 * fleets + 5 * indices + 6) * 8 ))
mb() { echo "scale=1; $1 / 1000000" | bc -l; }
printf 'run: %s years; input %s MB, summary %s MB\n' "$years" "$(mb "$input_bytes")" "$(mb "$summary_bytes")"
printf 'median of %s, wall clock: scantelk %.3f s, I/O floor %.3f s, ratio %.2f\n' \
  "$runs" "$wall_run" "$wall_floor" "$wall_ratio"
printf 'median of %s, CPU time:   scantelk %.3f s, I/O floor %.3f s, ratio %.2f\n' \
  "$runs" "$cpu_run" "$cpu_floor" "$cpu_ratio"
printf 'throughput: %.0f MB/s (input plus summary bytes)\n' \
  "$(echo "($input_bytes + $summary_bytes) / $wall_run / 1000000" | bc -l)"
printf 'peak memory: %.1f MB (the tables %.1f MB)\n' "$(echo "$peak_kb / 1000" | bc -l)" \
  "$(mb "$table_bytes")"

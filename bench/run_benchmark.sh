#!/usr/bin/env bash
# Times scantelk on a generated run against the I/O floor: reading both input files and
# writing as many bytes as the summary holds. Run by hand from the repository root:
#
#   bash bench/run_benchmark.sh [--fits] [--magnitudes | --small | --readers] [years] [runs]
#   bash bench/run_benchmark.sh --gather [count]
#
# --fits: scantelk also writes the fits file, and the floor writes its bytes too.
# The reference run is 2000 years, 500 ages, 2 fleets, 2 selectivity blocks, 20 used indices.
# --magnitudes: the same dimensions, every value of a random magnitude from 1e-4 to 1e7 with six
# significant digits, so that exponent forms appear. --small: the realistic haddock example
# against `cat` of its two files, each sample a batch of 20 runs (a run takes a millisecond or
# two); 41 samples unless given. --readers: the reference run's conversion against Python's and
# R's reading of its summary, and the haddock summary's reading (bench/readers_benchmark.sh);
# with --fits, also their reading of the fits file.
# --gather: 1,000 (or count) replicates of the haddock example gathered serially into one table
# by Python and R (bench/gather_benchmark.sh).
# scantelk and the floor run alternately; it prints the median ratio scantelk/floor of the
# wall-clock time and of the CPU time (user + system of the child processes), the throughput
# and the peak memory. The CPU ratio is the measure to compare: the floor's wall-clock time
# depends on the page cache's write-back, its CPU time hardly.
set -euo pipefail

fits=()
if [ "${1:-}" = --fits ]; then fits=(--fits); shift; fi
shape=reference
case "${1:-}" in
  --magnitudes) shape=magnitudes; shift ;;
  --small) shape=small; shift ;;
  --readers) shape=readers; shift ;;
  --gather) shape=gather; shift ;;
esac
years=${1:-2000}
runs=${2:-$([ "$shape" = small ] && echo 41 || echo 7)}
ages=500
fleets=2
indices=20
root=$(cd "$(dirname "$0")/.." && pwd)
work=${BENCH_DIR:-/tmp/scantelk-bench}
mkdir -p "$work"

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j2 --target scantelk >/dev/null
# BENCH_BINARY names another build to time, such as an earlier commit's, for a comparison.
binary=${BENCH_BINARY:-$root/build/scantelk}
if [ "$shape" = gather ]; then
  exec bash "$root/bench/gather_benchmark.sh" "$binary" "$work/gather" "${1:-1000}"
fi

batch=1
case $shape in
  small)
    base="$work/haddock"
    cp "$root/examples/haddock.dat" "$root/examples/haddock.rep" "$work/"
    batch=20 ;;
  magnitudes) base="$work/mag-$years" ;;
  *) base="$work/ref-$years" ;;
esac
if [ ! -f "$base.rep" ]; then
  echo "generating $base.dat and $base.rep ..."
  extra=()
  [ "$shape" = magnitudes ] && extra=(--magnitudes)
  /usr/bin/python3 "$root/scripts/make_run.py" "$base" --years "$years" --ages "$ages" \
    --fleets "$fleets" --sel-blocks 2 --indices "$indices" "${extra[@]}"
fi
"$binary" "${fits[@]}" "$base.dat"  # warm the page cache and produce the summary once
if [ "$shape" = readers ]; then
  exec bash "$root/bench/readers_benchmark.sh" "$binary" "$base" "$runs" "${fits[@]}"
fi
summary_bytes=$(stat -c %s "$base.tmp")
# The floor writes the bytes of both outputs when the fits file is written.
[ ${#fits[@]} -gt 0 ] && summary_bytes=$(( summary_bytes + $(stat -c %s "$base.fits.csv") ))
input_bytes=$(( $(stat -c %s "$base.dat") + $(stat -c %s "$base.rep") ))

run_once() {
  for ((n = 0; n < batch; n++)); do "$binary" "${fits[@]}" "$base.dat"; done
}

# A large run's floor reads the inputs and writes the summary's bytes; a small run's is `cat` of
# its two files, what any tool that reads them pays.
floor_once() {
  for ((n = 0; n < batch; n++)); do
    if [ "$shape" = small ]; then
      cat "$base.dat" "$base.rep" >/dev/null
    else
      cat "$base.dat" "$base.rep" >/dev/null
      head -c "$summary_bytes" /dev/zero >"$work/floor.out"
    fi
  done
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
  read -r wall_run cpu_run <<<"$(measure run_once)"
  read -r wall_floor cpu_floor <<<"$(measure floor_once)"
  wall_ratios+=("$(echo "$wall_run / $wall_floor" | bc -l) $wall_run $wall_floor")
  cpu_ratios+=("$(echo "$cpu_run / $cpu_floor" | bc -l) $cpu_run $cpu_floor")
done
rm -f "$work/floor.out" "$work/times.before" "$work/times.after"

read -r wall_ratio wall_run wall_floor <<<"$(printf '%s\n' "${wall_ratios[@]}" | median)"
read -r cpu_ratio cpu_run cpu_floor <<<"$(printf '%s\n' "${cpu_ratios[@]}" | median)"
peak_kb=$(/usr/bin/time -v "$binary" "${fits[@]}" "$base.dat" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}')
# Cells of all tables: per year 6 tables by age, 6 columns per fleet, 5 per index, 3 + 3 more.
table_bytes=$(( years * (6 * ages + 6 * fleets + 5 * indices + 6) * 8 ))
mb() { echo "scale=3; $1 / 1000000" | bc -l; }
[ "$shape" = small ] && table_bytes=0
printf 'run: %s, %s; input %s MB, summary %s MB; %s run(s) per sample\n' "$shape" "$base.dat" \
  "$(mb "$input_bytes")" "$(mb "$summary_bytes")" "$batch"
printf 'median of %s, wall clock: scantelk %.3f s, I/O floor %.3f s, ratio %.2f\n' \
  "$runs" "$wall_run" "$wall_floor" "$wall_ratio"
printf 'median of %s, CPU time:   scantelk %.3f s, I/O floor %.3f s, ratio %.2f\n' \
  "$runs" "$cpu_run" "$cpu_floor" "$cpu_ratio"
printf 'throughput: %.0f MB/s (input plus summary bytes)\n' \
  "$(echo "$batch * ($input_bytes + $summary_bytes) / $wall_run / 1000000" | bc -l)"
printf 'peak memory: %.1f MB (the tables %.1f MB)\n' "$(echo "$peak_kb / 1000" | bc -l)" \
  "$(mb "$table_bytes")"

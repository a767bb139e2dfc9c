#!/usr/bin/env bash
# The readers' mode of run_benchmark.sh: scantelk converting a run, and Python's scantelk.read
# and R's read_scantelk reading the summary it writes, side by side in one sitting. Each sample
# is one fresh process per tool, in turn; the readers' times and memory are taken inside their
# process after the package is loaded, the peak memory as the rise of the peak resident set
# over the resident set after loading. Then the haddock summary, read many times after loading.
# With --fits, also read_fits of the fits file that scantelk --fits wrote beside the summary.
#
#   bash bench/readers_benchmark.sh BINARY BASE RUNS [--fits]
set -euo pipefail

binary=$1
base=$2
runs=$3
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(dirname "$base")
haddock="$root/tests/golden/haddock.tmp"
haddock_reads=50
fits_csv=
if [ "${4:-}" = --fits ]; then
  fits_csv="$work/read.fits.csv"
  mv "$base.fits.csv" "$fits_csv"
fi
rm -f "$base.fits.csv"  # the readers would read it beside the summary: time the summary alone

# The R package as R CMD INSTALL builds it, in a library of the benchmark's own.
r_library="$work/r-library"
mkdir -p "$r_library"
R CMD INSTALL --preclean --no-test-load --library="$r_library" "$root/r" >"$work/r-install.log" 2>&1 ||
  { echo "R CMD INSTALL failed: see $work/r-install.log" >&2; exit 1; }

# Prints the median of its reads of a file (by the function named, the summary's reader unless
# given) in seconds and the peak memory's rise in MB.
python_reads() {
  PYTHONPATH="$root/python" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - "$1" "$2" "${3:-read}" <<'EOF'
import statistics
import sys
import time

import scantelk


def status_kb(key):
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith(key))


path, reads, read = sys.argv[1], int(sys.argv[2]), getattr(scantelk, sys.argv[3])
start = status_kb("VmRSS")
seconds = []
for _ in range(reads):
    began = time.perf_counter()
    run = read(path)
    seconds.append(time.perf_counter() - began)
    del run
print(statistics.median(seconds), (status_kb("VmHWM") - start) / 1000)
EOF
}

cat >"$work/read_summary.R" <<'EOF'
suppressMessages(library(scantelk))
arguments <- commandArgs(trailingOnly = TRUE)
status_kb <- function(key) {
  line <- grep(key, readLines("/proc/self/status"), value = TRUE)
  as.numeric(gsub("[^0-9]", "", line))
}
invisible(gc())
start <- status_kb("^VmRSS")
seconds <- replicate(as.integer(arguments[2]), {
  began <- proc.time()[["elapsed"]]
  run <- get(arguments[3])(arguments[1])
  proc.time()[["elapsed"]] - began
})
cat(median(seconds), (status_kb("^VmHWM") - start) / 1000, "\n")
EOF
r_reads() {
  R_LIBS="$r_library" Rscript --vanilla "$work/read_summary.R" "$1" "$2" "${3:-read_scantelk}"
}

# scantelk's wall-clock seconds and peak memory in MB, the whole process.
scantelk_run() {
  local start end peak_kb
  start=$EPOCHREALTIME
  "$binary" "$base.dat"
  end=$EPOCHREALTIME
  peak_kb=$(/usr/bin/time -v "$binary" "$base.dat" 2>&1 >/dev/null |
    awk -F': ' '/Maximum resident/ {print $2}')
  echo "$(echo "$end - $start" | bc -l) $(echo "$peak_kb / 1000" | bc -l)"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

tools="scantelk python r"
[ -n "$fits_csv" ] && tools="$tools python-fits r-fits"
for tool in $tools; do : >"$work/$tool.samples"; done
for _ in $(seq "$runs"); do
  scantelk_run >>"$work/scantelk.samples"
  python_reads "$base.tmp" 1 >>"$work/python.samples"
  r_reads "$base.tmp" 1 >>"$work/r.samples"
  if [ -n "$fits_csv" ]; then
    python_reads "$fits_csv" 1 read_fits >>"$work/python-fits.samples"
    r_reads "$fits_csv" 1 read_fits >>"$work/r-fits.samples"
  fi
done

summary_mb=$(echo "$(stat -c %s "$base.tmp") / 1000000" | bc -l)
[ -n "$fits_csv" ] && fits_mb=$(echo "$(stat -c %s "$fits_csv") / 1000000" | bc -l)
convert_s=$(cut -d' ' -f1 "$work/scantelk.samples" | median)
printf 'summary %s: %.1f MB; median of %s samples, one process per tool in each\n' \
  "$base.tmp" "$summary_mb" "$runs"
printf '%-12s %8s %12s %22s %13s\n' tool "wall s" "x scantelk" "peak MB (over start)" "x file read"
for tool in $tools; do
  seconds=$(cut -d' ' -f1 "$work/$tool.samples" | median)
  peak=$(cut -d' ' -f2 "$work/$tool.samples" | median)
  file_mb=$summary_mb
  [[ $tool == *-fits ]] && file_mb=$fits_mb
  printf '%-12s %8.3f %12.2f %22.1f %13.2f\n' "$tool" "$seconds" \
    "$(echo "$seconds / $convert_s" | bc -l)" "$peak" "$(echo "$peak / $file_mb" | bc -l)"
done
echo "(scantelk's memory is its whole process; the readers' is over the loaded package)"
[ -n "$fits_csv" ] && printf '(python-fits, r-fits: read_fits of the fits file, %.1f MB)\n' "$fits_mb"

read -r python_s _ <<<"$(python_reads "$haddock" "$haddock_reads")"
read -r r_s _ <<<"$(r_reads "$haddock" "$haddock_reads")"
printf 'haddock summary, median of %s reads after loading: python %.1f ms, R %.1f ms\n' \
  "$haddock_reads" "$(echo "$python_s * 1000" | bc -l)" "$(echo "$r_s * 1000" | bc -l)"
rm -f "$work"/*.samples "$work/read_summary.R"

#!/usr/bin/env bash
# The gather mode of run_benchmark.sh: COUNT haddock-size summaries (replicates of the haddock
# example) gathered serially into one long table by Python's scantelk.gather and R's
# scantelk_gather, each timed inside its process after the package is loaded: the median of
# three gathers, wall-clock and CPU seconds, and the table's size.
#
#   bash bench/gather_benchmark.sh BINARY FOLDER COUNT
set -euo pipefail

binary=$1
folder=$2
count=$3
root=$(cd "$(dirname "$0")/.." && pwd)
haddock=(--seed 42 --years 40 --first-year 1982 --ages 10 --fleets 2 --indices 4 --unused 1)

mkdir -p "$folder"
if [ "$(find "$folder" -name 'run-*.tmp' | wc -l)" -ne "$count" ]; then
  echo "generating $count replicates in $folder ..."
  rm -f "$folder"/run-*
  /usr/bin/python3 "$root/scripts/make_run.py" "$folder/run" "${haddock[@]}" --replicates "$count"
  find "$folder" -name 'run-*.dat' -print0 | xargs -0 -n 200 "$binary"
fi
pattern="$folder/run-*.tmp"

r_library="$folder/r-library"
mkdir -p "$r_library"
R CMD INSTALL --no-test-load --library="$r_library" "$root/r" >"$folder/r-install.log" 2>&1 ||
  { echo "R CMD INSTALL failed: see $folder/r-install.log" >&2; exit 1; }

python_gather=$(PYTHONPATH="$root/python" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - "$pattern" <<'PY'
import statistics
import sys
import time

import scantelk

wall, cpu = [], []
for _ in range(3):
    began, began_cpu = time.perf_counter(), time.process_time()
    table = scantelk.gather(sys.argv[1], progress=False)
    wall.append(time.perf_counter() - began)
    cpu.append(time.process_time() - began_cpu)
print(statistics.median(wall), statistics.median(cpu), len(table),
      table.memory_usage(deep=True).sum() / 1e6)
PY
)

r_gather=$(R_LIBS="$r_library" Rscript --vanilla -e '
suppressMessages(library(scantelk))
wall <- cpu <- numeric()
for (k in 1:3) {
  time <- system.time(table <- scantelk_gather(commandArgs(TRUE)[1], progress = FALSE))
  wall[k] <- time[["elapsed"]]
  cpu[k] <- time[["user.self"]] + time[["sys.self"]]
}
cat(median(wall), median(cpu), nrow(table), as.numeric(object.size(table)) / 1e6, "\n")
' "$pattern")

printf '%s summaries of the haddock example gathered serially, median of 3 in one process\n' \
  "$count"
printf '%-8s %8s %8s %12s %10s\n' tool "wall s" "CPU s" rows "table MB"
for tool in python r; do
  read -r wall cpu rows mb <<<"$([ $tool = python ] && echo "$python_gather" || echo "$r_gather")"
  printf '%-8s %8.2f %8.2f %12d %10.1f\n' "$tool" "$wall" "$cpu" "$rows" "$mb"
done

#!/usr/bin/env bash
# Cross-compiles scantelk.exe with mingw-w64 and runs it under wine on the bundled runs,
# comparing each summary byte for byte with the Linux golden file. Also checks that a path with
# '\' separators names the report and summary after the file name only.
# Needs: bash scripts/install-deps.sh --windows. Run from anywhere.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-windows"

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DSCANTELK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all

check() {  # check SOURCE_BASE GOLDEN
  cp "$root/$1.dat" "$work/run.dat"
  cp "$root/$1.rep" "$work/run.rep"
  (cd "$work" && "$wine" "$build/scantelk.exe" run.dat >/dev/null 2>&1)
  cmp "$work/run.tmp" "$root/$2"
  echo "windows: $1 gives $2 byte for byte"
  rm -f "$work/run.dat" "$work/run.rep" "$work/run.tmp"
}
check examples/tiny tests/golden/tiny.tmp
check tests/golden/fleets tests/golden/fleets.tmp
check examples/haddock tests/golden/haddock.tmp

mkdir "$work/runs.v2"
cp "$root/examples/tiny.dat" "$work/runs.v2/base"
cp "$root/examples/tiny.rep" "$work/runs.v2/base.rep"
(cd "$work" && "$wine" "$build/scantelk.exe" 'runs.v2\base' >/dev/null 2>&1)
cmp "$work/runs.v2/base.tmp" "$root/tests/golden/tiny.tmp"
test ! -e "$work/runs.tmp"
echo "windows: 'runs.v2\\base' reads runs.v2\\base.rep and writes runs.v2\\base.tmp"

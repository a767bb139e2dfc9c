#!/usr/bin/env bash
# Installs, from Debian's packages, what building, testing and checking scantelk needs and this
# machine lacks. Needs root (or sudo). Usage: bash scripts/install-deps.sh [--windows] [--fuzz]
#   --windows  also the mingw-w64 cross compiler and wine, for the Windows build and its check
#   --fuzz     also clang and its runtime with libFuzzer, for the fuzz target
set -euo pipefail

packages=(cmake g++ libgtest-dev libbenchmark-dev clang-tidy cppcheck groff-base man-db dpkg-dev
  lintian time)
# The R and Python readers (r/, python/) and their tests.
packages+=(r-base-core r-base-dev r-cran-testthat r-cran-roxygen2 python3-pandas python3-numpy
  python3-pytest python3-matplotlib python3-dask python3-distributed python3-tqdm flake8 mypy
  python3-html5lib)
# The report page's browser test opens the page in headless Chromium.
packages+=(chromium chromium-driver python3-selenium)
for option in "$@"; do
  case "$option" in
    --windows) packages+=(g++-mingw-w64-x86-64-posix wine64) ;;
    --fuzz) packages+=(clang libclang-rt-dev) ;;
    *) echo "usage: bash scripts/install-deps.sh [--windows] [--fuzz]" >&2; exit 1 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

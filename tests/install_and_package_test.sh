#!/usr/bin/env bash
# Installs the built program into a temporary prefix, checks the man page renders without
# warnings, and builds the Debian package and checks its file list: the package alone gzips the
# man page and adds the changelog and copyright file.
# Usage: install_and_package_test.sh BUILD_DIR
set -euo pipefail
build=$1
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -x "$work/prefix/bin/scantelk"
test -f "$work/prefix/share/man/man1/scantelk.1"
test ! -e "$work/prefix/share/doc/scantelk"
"$work/prefix/bin/scantelk" --version | grep -q '^scantelk [0-9]'

warnings=$(groff -ww -z -man "$work/prefix/share/man/man1/scantelk.1" 2>&1)
if [ -n "$warnings" ]; then echo "man page warnings: $warnings"; exit 1; fi
man_warnings=$(MANWIDTH=80 man -l "$work/prefix/share/man/man1/scantelk.1" 2>&1 >/dev/null || true)
if [ -n "$man_warnings" ]; then echo "man -l warnings: $man_warnings"; exit 1; fi

(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/*.deb)
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for expected in ./usr/bin/scantelk ./usr/share/man/man1/scantelk.1.gz \
  ./usr/share/doc/scantelk/changelog.gz ./usr/share/doc/scantelk/copyright; do
  if ! grep -qx "$expected" <<<"$files"; then
    echo "package lacks $expected; it holds:"; echo "$files"; exit 1
  fi
done
version=$(dpkg-deb -f "$deb" Version)
latest=$(dpkg-parsechangelog -l "$source/packaging/debian/changelog" -S Version)
if [ "$version" != "$latest" ]; then
  echo "version $version has no entry in packaging/debian/changelog (latest: $latest)"; exit 1
fi
echo "installed, man page clean, package $(basename "$deb") holds the binary, man page and docs"

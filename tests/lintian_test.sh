#!/usr/bin/env bash
# Builds the Debian package and checks it as a Debian maintainer would: any error or warning
# from lintian fails; its informational tags are printed for the reader.
# Usage: lintian_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/*.deb)
# lintian's complaint about running as root is not about the package.
lintian --display-info --fail-on error,warning --tag-display-limit 0 "$deb" \
  2> >(grep -v 'root privileges' >&2)
echo "lintian: $(basename "$deb") has no error or warning"

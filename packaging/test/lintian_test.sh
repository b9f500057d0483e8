#!/bin/sh
# Builds the Debian packages and runs lintian on each: any error fails; the
# warnings are printed (the packaging README lists the ones that stay, and why).
# Usage: lintian_test.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
command -v lintian >/dev/null || { echo "FAIL: lintian is not installed (scripts/install-deps.sh)"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
failures=0
for deb in "$scratch"/pkg/*.deb; do
  name=$(basename "$deb")
  lintian --fail-on error --no-tag-display-limit "$deb" >"$scratch/lintian" 2>&1
  status=$?
  cat "$scratch/lintian"
  if [ "$status" -ne 0 ] || grep -q '^E: ' "$scratch/lintian"; then
    echo "FAIL $name: lintian reports errors"
    failures=$((failures + 1))
  else
    echo "ok   $name: no lintian error ($(grep -c '^W: ' "$scratch/lintian") warnings)"
  fi
done
[ -n "$(ls "$scratch"/pkg/*.deb 2>/dev/null)" ] || { echo "FAIL: no package built"; exit 1; }
[ "$failures" -eq 0 ]

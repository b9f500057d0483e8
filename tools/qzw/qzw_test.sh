#!/bin/sh
# Round trip through the command, a golden vector, and a refused input.
set -eu
qzw=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf 'abcabcabcabc' > "$dir/abc"
"$qzw" encode "$dir/abc" "$dir/abc.qzw"
printf '$COMPIBM\007abc\356\366' | cmp - "$dir/abc.qzw"
head -c 200000 /dev/urandom > "$dir/img"
"$qzw" encode "$dir/img" "$dir/img.qzw"
"$qzw" decode "$dir/img.qzw" "$dir/img.out"
cmp "$dir/img" "$dir/img.out"
if "$qzw" decode "$dir/img" "$dir/bad.out" 2>/dev/null; then
  echo "decoding a raw image should fail"; exit 1
fi
if "$qzw" frobnicate a b 2>/dev/null; then echo "unknown command accepted"; exit 1; fi
echo "qzw: all checks passed"

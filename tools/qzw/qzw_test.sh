#!/bin/sh
# The command line: round trip, golden vector, refused inputs and outputs,
# cut streams, two hundred damaged files caught by verify, usage conventions.
set -eu
qzw=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# Runs qzw, expecting exit status $1; its messages go to $dir/err.
expect() {
  want=$1; shift
  set +e
  "$qzw" "$@" >"$dir/out.txt" 2>"$dir/err"
  got=$?
  set -e
  [ "$got" -eq "$want" ] || fail "qzw $* exited $got, not $want: $(cat "$dir/err")"
}
says() { grep -q -- "$1" "$dir/err" || fail "expected '$1' in: $(cat "$dir/err")"; }

printf 'abcabcabcabc' > "$dir/abc"
expect 0 encode "$dir/abc" "$dir/abc.qzw"
printf '$COMPIBM\007abc\356\366' | cmp - "$dir/abc.qzw"
head -c 200000 /dev/urandom > "$dir/img"
expect 0 encode "$dir/img" "$dir/img.qzw"
expect 0 decode "$dir/img.qzw" "$dir/img.out"
cmp "$dir/img" "$dir/img.out"
expect 0 verify "$dir/img" "$dir/img.qzw"
expect 1 decode "$dir/img" "$dir/bad.out"
[ ! -e "$dir/bad.out" ] || fail "a refused decode left its output"

# I/O failures and inputs that are no image file.
expect 1 encode "$dir/img" /dev/full; says "No space left on device"
expect 1 decode "$dir/img.qzw" /dev/full; says "No space left on device"
mkdir "$dir/folder"
expect 1 encode "$dir/folder" "$dir/f.qzw"; says "not a regular file"
[ ! -e "$dir/f.qzw" ] || fail "encoding a folder created its output"
expect 1 encode /dev/zero "$dir/z.qzw"; says "not a regular file"
expect 1 decode /dev/zero "$dir/z.out"; says "not a regular file"
mkfifo "$dir/pipe"
expect 1 verify "$dir/pipe" "$dir/img.qzw"; says "not a regular file"
truncate -s 67108865 "$dir/huge"
expect 1 encode "$dir/huge" "$dir/h.qzw"; says "larger than 67108864 bytes"
expect 1 verify "$dir/huge" "$dir/img.qzw"; says "larger than"

# A stream cut inside an item: the flag byte 07 promises a third literal.
printf 'previous' > "$dir/cut.out"
head -c 11 "$dir/abc.qzw" > "$dir/cut.qzw"
expect 1 decode "$dir/cut.qzw" "$dir/cut.out"; says "cut off inside an item"
[ "$(cat "$dir/cut.out")" = previous ] || fail "a failed decode touched its output"

# Two hundred damaged files: a byte changed, cut, or junk after the end.
head -c 16384 "$dir/img" > "$dir/small"
cat "$dir/abc" "$dir/abc" "$dir/abc" >> "$dir/small"
expect 0 encode "$dir/small" "$dir/small.qzw"
size=$(wc -c < "$dir/small.qzw")
i=0
while [ $i -lt 200 ]; do
  cp "$dir/small.qzw" "$dir/d.qzw"
  at=$(( (i * 7919 + 13) % size ))
  case $((i % 3)) in
    0) printf '\377' | dd of="$dir/d.qzw" bs=1 seek=$at conv=notrunc 2>/dev/null
       cmp -s "$dir/d.qzw" "$dir/small.qzw" && printf '\000' | dd of="$dir/d.qzw" bs=1 seek=$at conv=notrunc 2>/dev/null ;;
    1) head -c $at "$dir/small.qzw" > "$dir/d.qzw" ;;
    2) printf 'x' >> "$dir/d.qzw" ;;
  esac
  expect 1 verify "$dir/small" "$dir/d.qzw"; says "is not the compressed form"
  i=$((i + 1))
done

# Usage: help and version on stdout, errors exit 2 and create nothing.
expect 0 --help; grep -q "qzw verify IMAGE FILE.QZW" "$dir/out.txt" || fail "help text"
expect 0 -h; grep -q "^usage: qzw" "$dir/out.txt" || fail "-h"
expect 0 --version; grep -q "^qzw " "$dir/out.txt" || fail "version"
expect 2 encode --force "$dir/img" "$dir/u.qzw"; says "unknown option '--force'"; says "Try 'qzw --help'"
expect 2 encode "$dir/img" -o; says "unknown option"
expect 2 frobnicate "$dir/img" "$dir/u.qzw"; says "unknown command"
expect 2 encode "$dir/img"
expect 2
[ ! -e "$dir/u.qzw" ] && [ ! -e "$dir/-o" ] || fail "a usage error created a file"
cp "$dir/abc" "$dir/-abc"
(cd "$dir" && "$qzw" encode -- -abc -abc.qzw) || fail "-- before names"
cmp "$dir/abc.qzw" "$dir/-abc.qzw"
leftovers=$(ls -A "$dir" | grep '^\.' || true)
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"
echo "qzw: all checks passed"

#!/bin/sh
# Every man page renders without a warning, and lists every option that its
# program's --help lists.
# Usage: man_pages_test.sh BUILD_DIR MAN_DIR
set -u
build=$(cd "$1" && pwd)
man_dir=$2
pages="brimlet=flash/ui/brimlet
tavrin=crisis/app/ui/tavrin
tavrin-build=tools/tavrin-build/tavrin-build
brimlet-inspect=tools/inspect/brimlet-inspect
brimlet-pack=tools/pack/brimlet-pack
brimlet-romread=tools/romread/brimlet-romread
qzw=tools/qzw/qzw
brimlet-imagegen=tools/imagegen/brimlet-imagegen
tavrin-sample=tools/tavrin-build/tavrin-sample
crisis-samples=tools/crisis-samples/crisis-samples"
unset DISPLAY WAYLAND_DISPLAY
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_STATE_HOME="$scratch" XDG_DATA_HOME="$scratch" XDG_CONFIG_HOME="$scratch" XDG_RUNTIME_DIR="$scratch" BIOS_TOOLS_LOCK_DIR="$scratch"

# The options a help text names: --long, -x, and brimlet's /options.
options_of() {
  grep -oE -- '--[a-z][a-z0-9-]*' "$1"
  grep -oE -- '(^|[][[:space:],(|])-[a-zA-Z]([][[:space:],)|]|$)' "$1" | grep -oE -- '-[a-zA-Z]'
  grep -E '^ {12}/' "$1" | grep -oE '/[a-z?]+:?'
}

echo "$pages" | while IFS='=' read -r name path; do
  page="$man_dir/$name.1"
  if [ ! -f "$page" ]; then echo "FAIL $name: no page $page"; continue; fi
  warnings=$(groff -man -Tascii -ww -z "$page" 2>&1)
  if [ -n "$warnings" ]; then echo "FAIL $name: groff warns: $warnings"; continue; fi
  if ! LANG=C MANWIDTH=80 man -l "$page" >/dev/null 2>"$scratch/err"; then
    echo "FAIL $name: man -l fails: $(cat "$scratch/err")"; continue
  fi
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES; do
    grep -q "^\.SH \"*$section" "$page" || echo "FAIL $name: no $section section"
  done
  # One long line per paragraph and no hyphenation, so options stay whole.
  groff -man -Tascii -rHY=0 -rLL=400n "$page" 2>/dev/null | col -b >"$scratch/page"
  exe="$build/$path"
  if [ ! -x "$exe" ]; then echo "skip $name: program not built"; continue; fi
  "$exe" --help >"$scratch/help" 2>&1
  missing=""
  for opt in $(options_of "$scratch/help" | sort -u); do
    grep -qF -- "$opt" "$scratch/page" || missing="$missing $opt"
  done
  if [ -n "$missing" ]; then echo "FAIL $name: the page lacks$missing"
  else echo "ok   $name: renders, lists $(options_of "$scratch/help" | sort -u | wc -l) options of --help"; fi
done >"$scratch/report"
cat "$scratch/report"
! grep -q '^FAIL' "$scratch/report"

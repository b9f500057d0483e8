#!/bin/sh
# One command-line conventions check for every tool:
#   --help and -h: usage on stdout, nothing on stderr, status 0
#   --version:     one line "NAME (bios-tools) VERSION" on stdout, status 0
#   an unknown option: a message with a hint on stderr, status 2, and nothing
#   created, even with a would-be output name beside it
#   an option is never taken as a file or folder name
# Each line of output is "ok" or "FAIL" with the tool and the case.
# Usage: conventions_test.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
tools="brimlet=flash/ui/brimlet
brimlet-inspect=tools/inspect/brimlet-inspect
brimlet-pack=tools/pack/brimlet-pack
brimlet-romread=tools/romread/brimlet-romread
brimlet-imagegen=tools/imagegen/brimlet-imagegen
tavrin-sample=tools/tavrin-build/tavrin-sample
crisis-samples=tools/crisis-samples/crisis-samples
tavrin=crisis/app/ui/tavrin
tavrin-build=tools/tavrin-build/tavrin-build
qzw=tools/qzw/qzw"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Whatever a tool might touch stays here; no display, so no window opens.
export XDG_STATE_HOME="$scratch/state" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config"
export XDG_RUNTIME_DIR="$scratch/run" BIOS_TOOLS_LOCK_DIR="$scratch/run" BIOS_TOOLS_NO_POWER_ACTION=1
unset DISPLAY WAYLAND_DISPLAY BRIMLET_MACHINE
failures=0

ok() { echo "ok   $1: $2"; }
fail() { echo "FAIL $1: $2"; failures=$((failures + 1)); }

# run ARGS...: runs $exe in an empty folder; sets status, out, err,
# and created (what appeared in the folder or the XDG folders).
run() {
  rm -rf "$scratch/cwd" "$scratch/state" "$scratch/data" "$scratch/config" "$scratch/run"
  mkdir -p "$scratch/cwd" "$scratch/run"
  (cd "$scratch/cwd" && "$exe" "$@" >"$scratch/out" 2>"$scratch/err")
  status=$?
  out=$(cat "$scratch/out")
  err=$(cat "$scratch/err")
  created=$(cd "$scratch" && find cwd state data config run -mindepth 1 2>/dev/null | tr '\n' ' ')
}

echo "$tools" | while IFS='=' read -r name path; do
  exe="$build/$path"
  if [ ! -x "$exe" ]; then
    [ "$name" = tavrin ] && { echo "skip $name: not built (BIOS_GUI=OFF)"; continue; }
    fail "$name" "not built at $path"
    continue
  fi
  for h in --help -h; do
    run "$h"
    if [ $status -ne 0 ]; then fail "$name" "$h exits $status, not 0"
    elif [ -z "$out" ]; then fail "$name" "$h prints nothing on stdout"
    elif [ -n "$err" ]; then fail "$name" "$h writes to stderr: $err"
    elif [ -n "$created" ]; then fail "$name" "$h created $created"
    else ok "$name" "$h"; fi
  done
  # The help lists the conventions' own options.
  run --help
  case "$out" in *--version*) ok "$name" "--help lists --version" ;;
                 *) fail "$name" "--help does not list --version" ;; esac

  run --version
  if [ $status -ne 0 ]; then fail "$name" "--version exits $status"
  else
    # One form for every tool: one line, "NAME (bios-tools) VERSION".
    case "$out" in "$name (bios-tools) "[0-9]*)
                     if [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ]; then ok "$name" "--version"
                     else fail "$name" "--version prints more than one line: $out"; fi ;;
                   *) fail "$name" "--version prints '$out', not '$name (bios-tools) VERSION'" ;; esac
  fi

  for args in "--no-such-option" "--no-such-option out.bin" "-Q out.bin"; do
    # shellcheck disable=SC2086
    run $args
    if [ $status -ne 2 ]; then fail "$name" "'$args' exits $status, not 2"
    elif [ -n "$created" ]; then fail "$name" "'$args' created $created"
    elif [ -n "$out" ]; then fail "$name" "'$args' writes to stdout: $out"
    else
      case "$err" in *"--help"*) ok "$name" "'$args' refused with a hint" ;;
                     *) fail "$name" "'$args' gives no hint: $err" ;; esac
    fi
  done

  # An option in a name's place is still an option.
  run out.bin --help
  if [ $status -ne 0 ] || [ -n "$created" ]; then
    fail "$name" "'out.bin --help' exits $status, created: $created"
  else ok "$name" "'out.bin --help' shows the help"; fi
done > "$scratch/report"

# brimlet's own cases: /silent never turns --help into a flash, and /? is
# still brimlet's usage (it comes after the driver check).
exe="$build/flash/ui/brimlet"
run /silent --help
if [ $status -eq 0 ] && [ -z "$created" ] && [ -n "$out" ]; then ok brimlet "/silent --help shows the help, touches nothing"
else fail brimlet "/silent --help exits $status, created: $created"; fi
run /silent /kdmi -x
if [ $status -eq 2 ] && [ -z "$created" ]; then ok brimlet "/silent with an unknown option flashes nothing"
else fail brimlet "/silent /kdmi -x exits $status, created: $created"; fi

# Inputs are bounded: a device or a pipe is refused at once, nothing is written.
mkfifo "$scratch/pipe"
bounded() {  # NAME INPUT ARGS...
  name=$1 input=$2
  shift 2
  run "$@"
  case "$err" in
    *"not a regular file"*)
      if [ $status -eq 1 ] && [ -z "$created" ]; then ok "$name" "refuses $input"
      else fail "$name" "$input: status $status, created: $created"; fi ;;
    *) fail "$name" "$input not refused: status $status, $err" ;;
  esac
}
for input in /dev/zero "$scratch/pipe"; do
  exe="$build/tools/inspect/brimlet-inspect"
  bounded brimlet-inspect "$input" "$input"
  exe="$build/tools/pack/brimlet-pack"
  bounded brimlet-pack "$input" --settings 0100001000001000011011100001000000 --image "$input" -o out.pkg
done

if grep -q '^FAIL' "$scratch/report" || [ $failures -gt 0 ]; then
  cat "$scratch/report"
  echo "conventions: $(grep -c '^FAIL' "$scratch/report") tool case(s) and $failures brimlet case(s) failed"
  exit 1
fi
cat "$scratch/report"
echo "conventions: every tool passed"

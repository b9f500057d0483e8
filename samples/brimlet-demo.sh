#!/usr/bin/env bash
# Flashes a sample package onto the default emulated machine with brimlet in
# silent mode, and shows the ROM before and after.
# Usage: samples/brimlet-demo.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
demo="$build/demo/brimlet"
rm -rf "$demo"
mkdir -p "$demo/prog" "$demo/state" "$demo/data" "$demo/config" "$demo/run"

# Everything the demo touches stays inside its folder, and the machine is never restarted.
export XDG_STATE_HOME="$demo/state" XDG_DATA_HOME="$demo/data" XDG_CONFIG_HOME="$demo/config"
export XDG_RUNTIME_DIR="$demo/run" BIOS_TOOLS_NO_POWER_ACTION=1
unset BRIMLET_MACHINE

"$build/tools/imagegen/brimlet-imagegen" update "$demo/update.rom"
"$build/tools/pack/brimlet-pack" --settings 0100001000001000011011101001000000 \
  --image "$demo/update.rom" --exe "$build/flash/ui/brimlet" -o "$demo/prog/brimlet" >/dev/null
cp "$build/flash/ui/flash.sys" "$demo/prog/"
# The window module, for a window on a desktop; silent mode needs none.
if [ -f "$build/flash/ui/brimlet-gui.so" ]; then
  cp "$build/flash/ui/brimlet-gui.so" "$demo/prog/"
fi

# Reading the ROM once creates the default machine (the reference image).
"$build/tools/romread/brimlet-romread" "$demo/before.rom" >/dev/null
rom="$XDG_STATE_HOME/bios-tools/machine/rom.bin"

summary() {
  "$build/tools/inspect/brimlet-inspect" "$1" --flag 0x10 | grep -E -i 'layout|model|date|build time|version|checksum|area|ESCD|password|NVS' || true
}

echo "== ROM before the flash ($rom)"
summary "$rom"
echo
set +e
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -t 0 ] && [ -z "${BRIMLET_DEMO_SILENT:-}" ]; then
  # Someone can answer: show the window, which flashes on its first paint.
  echo "== brimlet /kpsw in its window (answer its questions; it gives up after 5 minutes)"
  (cd "$demo/prog" && timeout 300 ./brimlet /kpsw)
else
  echo "== brimlet /silent /kpsw (package: $(stat -c %s "$demo/prog/brimlet") bytes)"
  (cd "$demo/prog" && ./brimlet /silent /kpsw)
fi
status=$?
set -e
echo "exit status: $status"
echo
echo "== ROM after the flash"
summary "$rom"
cmp -s "$demo/before.rom" "$rom" && echo "ROM unchanged" || echo "ROM rewritten: $(cmp -l "$demo/before.rom" "$rom" | wc -l) bytes differ"

echo "  boot block (the last 64 KiB, with the version block): kept, since /wb was not given"
# Each data area: carried over from the old ROM, or taken from the new image.
slice() { dd if="$1" bs=1 skip=$(($2)) count=$(($3)) status=none | cksum; }
"$build/tools/inspect/brimlet-inspect" "$rom" --flag 0x10 |
  sed -n 's/^  \(.*[^ ]\) *offset \(0x[0-9A-Fa-f]*\) *length \(0x[0-9A-Fa-f]*\).*/\1|\2|\3/p' |
  while IFS='|' read -r name offset length; do
    if [ "$(slice "$rom" "$offset" "$length")" = "$(slice "$demo/before.rom" "$offset" "$length")" ]; then
      echo "  $name: kept from the old ROM"
    elif [ "$(slice "$rom" "$offset" "$length")" = "$(slice "$demo/update.rom" "$offset" "$length")" ]; then
      echo "  $name: taken from the new image"
    else
      echo "  $name: neither old nor new (unexpected)"
    fi
  done
exit "$status"

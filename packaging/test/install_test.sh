#!/bin/sh
# Installs into a staging root (DESTDIR) and uses the installed layout: brimlet
# from bin/ finds its driver module in the private folder, a packaged brimlet
# flashes an emulated machine made with the installed tools, and the .deb
# holds the same files with its dependencies.
# Usage: install_test.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
export XDG_STATE_HOME="$scratch/state" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config"
export XDG_RUNTIME_DIR="$scratch/run" BIOS_TOOLS_LOCK_DIR="$scratch/run" BIOS_TOOLS_NO_POWER_ACTION=1
mkdir -p "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY BRIMLET_MACHINE

fail() { echo "FAIL: $*"; exit 1; }
step() { echo "== $*"; }

step "cmake --install into a staging root"
DESTDIR="$root" cmake --install "$build" >"$scratch/install.log" || { cat "$scratch/install.log"; fail "cmake --install"; }
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
usr="$root$prefix"
for f in bin/brimlet bin/brimlet-romread bin/brimlet-inspect bin/brimlet-pack bin/brimlet-imagegen \
         bin/tavrin-build bin/qzw bin/tavrin-sample bin/crisis-samples \
         lib/bios-tools/brimlet lib/bios-tools/brimlet-romread lib/bios-tools/flash.sys \
         lib/bios-tools/modules/emulated.sys \
         share/man/man1/brimlet.1.gz share/man/man1/tavrin.1.gz share/man/man1/tavrin-build.1.gz \
         share/man/man1/brimlet-inspect.1.gz share/man/man1/brimlet-pack.1.gz \
         share/man/man1/brimlet-romread.1.gz share/man/man1/qzw.1.gz \
         share/man/man1/brimlet-imagegen.1.gz share/man/man1/tavrin-sample.1.gz \
         share/man/man1/crisis-samples.1.gz \
         share/applications/brimlet.desktop share/applications/tavrin.desktop \
         share/icons/hicolor/scalable/apps/brimlet.svg share/icons/hicolor/scalable/apps/tavrin.svg \
         share/doc/bios-tools/README.md; do
  [ -e "$usr/$f" ] || fail "not installed: $f"
done
[ "$(readlink "$usr/bin/brimlet")" = ../lib/bios-tools/brimlet ] || fail "bin/brimlet is not a link into lib/bios-tools"
if grep -q '^BIOS_GUI:BOOL=ON' "$build/CMakeCache.txt"; then
  [ -x "$usr/bin/tavrin" ] || fail "tavrin not installed"
  [ -f "$usr/lib/bios-tools/brimlet-gui.so" ] || fail "brimlet's window module not installed"
fi
# The menu entries are valid and start programs that were installed.
desktop-file-validate "$usr"/share/applications/*.desktop || fail "desktop entries do not validate"
for app in brimlet tavrin; do
  grep -q "^Exec=$app\b" "$usr/share/applications/$app.desktop" || fail "$app.desktop does not start $app"
  grep -q "^Icon=$app$" "$usr/share/applications/$app.desktop" || fail "$app.desktop has no icon $app"
done
touch "$scratch/installed"

step "installed brimlet --help and /?"
"$usr/bin/brimlet" --help | grep -q '/silent' || fail "brimlet --help"
[ ! -e "$XDG_STATE_HOME" ] || fail "brimlet --help touched the state folder"
"$usr/bin/brimlet" '/?' 2>"$scratch/usage" || fail "brimlet /? exits $?"
grep -q 'Brimlet BIOS Update Program' "$scratch/usage" || fail "brimlet /? shows no usage: $(cat "$scratch/usage")"

step "installed tavrin-build --help"
"$usr/bin/tavrin-build" --help >"$scratch/tb" 2>&1 || true
grep -q 'usage: tavrin-build' "$scratch/tb" || fail "tavrin-build --help: $(cat "$scratch/tb")"

step "a silent flash from the installed layout onto an emulated machine"
"$usr/bin/brimlet-imagegen" machine "$scratch/machine" >/dev/null
"$usr/bin/brimlet-imagegen" update "$scratch/new.rom"
export BRIMLET_MACHINE="$scratch/machine"
cp "$scratch/machine/rom.bin" "$scratch/before.rom"
mkdir "$scratch/prog"
# The link in bin/ leads to the program itself, which is what gets packed.
"$usr/bin/brimlet-pack" --settings 0100001000001000011011101001000000 --image "$scratch/new.rom" \
  --exe "$usr/bin/brimlet" -o "$scratch/prog/brimlet-new" >/dev/null
cp "$usr/lib/bios-tools/flash.sys" "$scratch/prog/"
# A packaged brimlet asked for its help shows it and flashes nothing, even with /silent.
(cd "$scratch/prog" && ./brimlet-new /silent --help) | grep -q '/silent' || fail "packaged brimlet --help"
cmp -s "$scratch/before.rom" "$scratch/machine/rom.bin" || fail "packaged brimlet /silent --help changed the ROM"
(cd "$scratch/prog" && ./brimlet-new /silent) || fail "packaged brimlet /silent exits $?"
cmp -s "$scratch/before.rom" "$scratch/machine/rom.bin" && fail "the ROM was not programmed"
"$usr/bin/brimlet-romread" "$scratch/after.rom" >"$scratch/romread" || fail "installed brimlet-romread exits $?"
cmp -s "$scratch/after.rom" "$scratch/machine/rom.bin" || fail "brimlet-romread read another ROM"
grep -q 'Date: 11/30/07' "$scratch/romread" || fail "not the new image's date: $(cat "$scratch/romread")"

# An existing machine is never replaced by a new one.
cp "$scratch/machine/rom.bin" "$scratch/flashed.rom"
"$usr/bin/brimlet-imagegen" machine "$scratch/machine" 2>/dev/null && fail "brimlet-imagegen replaced a machine"
cmp -s "$scratch/flashed.rom" "$scratch/machine/rom.bin" || fail "brimlet-imagegen machine changed an existing ROM"

step "installed brimlet in bin/ uses the driver module of the private folder"
cp "$scratch/before.rom" "$scratch/machine/rom.bin"
"$usr/bin/brimlet-pack" --settings 0100001000001000011011101001000000 --image "$scratch/new.rom" \
  -o "$scratch/new.pkg" >/dev/null
(cd "$scratch" && "$usr/bin/brimlet" /silent "/f:$scratch/new.pkg" 2>"$scratch/direct.err") ||
  fail "bin/brimlet /silent /f: exits $?: $(cat "$scratch/direct.err")"
cmp -s "$scratch/before.rom" "$scratch/machine/rom.bin" && fail "bin/brimlet did not program the ROM"

step "nothing was written into the installed tree"
changed=$(find "$root" -newer "$scratch/installed" -print)
[ -z "$changed" ] || fail "written after installation: $changed"

step "the Debian packages"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
gui=$(grep -q '^BIOS_GUI:BOOL=ON' "$build/CMakeCache.txt" && echo yes || echo no)
deb_of() { ls "$scratch"/pkg/"$1"_*.deb 2>/dev/null; }
# has DEB PATH... / lacks DEB PATH...: what the package's file list holds; a
# path is a whole file name, or for lacks a folder ending in /.
has() {
  deb=$1; shift
  dpkg-deb -c "$deb" | awk '{print $6}' >"$scratch/paths"
  for f in "$@"; do grep -qxF -- "$f" "$scratch/paths" || fail "$(basename "$deb") lacks $f"; done
}
lacks() {
  deb=$1; shift
  dpkg-deb -c "$deb" | awk '{print $6}' >"$scratch/paths"
  for f in "$@"; do
    case $f in
      */) grep -qF -- "$f" "$scratch/paths" && fail "$(basename "$deb") holds something in $f" ;;
      *) grep -qxF -- "$f" "$scratch/paths" && fail "$(basename "$deb") holds $f" ;;
    esac
  done
  true
}
tools_deb=$(deb_of bios-tools) || fail "no bios-tools package: $(ls "$scratch/pkg")"
dpkg-deb -c "$tools_deb" | grep -qF './usr/bin/brimlet -> ../lib/bios-tools/brimlet' ||
  fail "bios-tools: /usr/bin/brimlet is no link to the private folder"
has "$tools_deb" ./usr/bin/brimlet ./usr/lib/bios-tools/flash.sys \
    ./usr/lib/bios-tools/brimlet ./usr/bin/tavrin-build ./usr/share/man/man1/brimlet.1.gz
lacks "$tools_deb" ./usr/lib/bios-tools/brimlet-gui.so ./usr/bin/tavrin ./usr/share/applications/ \
      ./usr/lib/bios-tools/modules/flashrom.sys ./usr/share/man/man1/tavrin.1.gz
depends=$(dpkg-deb -f "$tools_deb" Depends)
for d in dosfstools mtools libc6 libstdc++6; do
  echo "$depends" | grep -q "$d" || fail "bios-tools does not depend on $d: $depends"
done
echo "$depends" | grep -qE 'wx|gtk|flashrom' && fail "bios-tools depends on a window or chip library: $depends"
if [ "$gui" = yes ]; then
  gui_deb=$(deb_of bios-tools-gui) || fail "no bios-tools-gui package: $(ls "$scratch/pkg")"
  has "$gui_deb" ./usr/lib/bios-tools/brimlet-gui.so ./usr/bin/tavrin ./usr/share/applications/brimlet.desktop \
      ./usr/share/icons/hicolor/scalable/apps/tavrin.svg ./usr/share/man/man1/tavrin.1.gz
  lacks "$gui_deb" ./usr/lib/bios-tools/brimlet ./usr/bin/tavrin-build
  depends=$(dpkg-deb -f "$gui_deb" Depends)
  version=$(dpkg-deb -f "$tools_deb" Version)
  echo "$depends" | grep -qF "bios-tools (= $version)" || fail "bios-tools-gui does not depend on bios-tools $version: $depends"
  echo "$depends" | grep -q libwxgtk3.2 || fail "bios-tools-gui does not depend on the wx runtime: $depends"
fi
# The flashrom module is built only where libflashrom is installed.
if flashrom_deb=$(deb_of bios-tools-flashrom); then
  has "$flashrom_deb" ./usr/lib/bios-tools/modules/flashrom.sys
  depends=$(dpkg-deb -f "$flashrom_deb" Depends)
  echo "$depends" | grep -q libflashrom1 || fail "bios-tools-flashrom does not depend on libflashrom1: $depends"
fi

step "bios-tools alone, unpacked: no window library, and a packaged brimlet flashes silently"
alone="$scratch/alone"
dpkg-deb -x "$tools_deb" "$alone"
for f in $(find "$alone" -type f); do
  if [ "$(head -c 4 "$f" | tail -c 3)" = ELF ] && ldd "$f" | grep -E 'libwx_|libgtk-|libgdk-'; then
    fail "$f links a window library"
  fi
done
cp "$scratch/before.rom" "$scratch/machine/rom.bin"
mkdir "$scratch/alone-prog"
"$alone/usr/bin/brimlet-pack" --settings 0100001000001000011011101001000000 --image "$scratch/new.rom" \
  --exe "$alone/usr/lib/bios-tools/brimlet" -o "$scratch/alone-prog/brimlet-new" >/dev/null
cp "$alone/usr/lib/bios-tools/flash.sys" "$scratch/alone-prog/"
# On a desktop too: /silent needs no window module.
(cd "$scratch/alone-prog" && DISPLAY=:4097 ./brimlet-new /silent 2>"$scratch/alone.err") ||
  fail "brimlet from bios-tools alone /silent exits $?: $(cat "$scratch/alone.err")"
cmp -s "$scratch/before.rom" "$scratch/machine/rom.bin" && fail "brimlet from bios-tools alone did not program the ROM"

step "bios-tools alone: the installed brimlet refuses an image of another model"
"$alone/usr/bin/brimlet-imagegen" tarvex "$scratch/other-model.rom"
cp "$scratch/before.rom" "$scratch/machine/rom.bin"
status=0
(cd "$scratch" && "$alone/usr/bin/brimlet" /silent "/f:$scratch/other-model.rom" 2>"$scratch/other.err") || status=$?
[ "$status" -eq 3 ] || fail "installed brimlet /silent /f: of another model exits $status, not 3: $(cat "$scratch/other.err")"
cmp -s "$scratch/before.rom" "$scratch/machine/rom.bin" || fail "an image of another model changed the ROM"
grep -q 'Model ID' "$scratch/other.err" || fail "the refusal does not name the model check: $(cat "$scratch/other.err")"
echo "installed layout and packages: ok ($(cd "$scratch/pkg" && ls *.deb | tr '\n' ' '))"

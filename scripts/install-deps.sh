#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and ./run need, when missing.
# With --screenshots also what scripts/screenshots.sh drives the windows with.
set -euo pipefail
packages=(cmake g++ make ninja-build libgtest-dev libgmock-dev libbenchmark-dev
          libwxgtk3.2-dev xvfb xauth dosfstools mtools groff-base man-db bsdextrautils
          desktop-file-utils strace lintian)
if [ "${1:-}" = --screenshots ]; then
  packages+=(xdotool x11-utils)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
# The Ansible collection's tests run ansible-playbook and ansible-lint; Debian
# 12 has both. Without them those two tests are reported as skipped.
ansible=()
for p in ansible-core ansible-lint; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || ansible+=("$p")
done
if [ ${#ansible[@]} -gt 0 ]; then
  echo "Installing: ${ansible[*]}"
  export DEBIAN_FRONTEND=noninteractive
  { apt-get update -qq && apt-get install -y -qq --no-install-recommends "${ansible[@]}"; } ||
    echo "${ansible[*]} could not be installed: the Ansible collection's tests are skipped" >&2
fi
# libflashrom-dev is optional: without it the flashrom driver module is not
# built and its tests are reported as skipped.
if ! dpkg-query -W -f='${Status}' libflashrom-dev 2>/dev/null | grep -q "install ok installed"; then
  echo "Installing: libflashrom-dev"
  export DEBIAN_FRONTEND=noninteractive
  { apt-get update -qq && apt-get install -y -qq libflashrom-dev; } ||
    echo "libflashrom-dev could not be installed: the flashrom driver module is left out" >&2
fi

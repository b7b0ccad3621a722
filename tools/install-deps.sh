#!/usr/bin/env bash
# Installs the Debian packages the project needs, only when one is missing,
# so a second run costs a few dpkg queries.
set -euo pipefail
packages=(
  cmake g++ make clang libclang-rt-14-dev pkg-config
  libsdl2-dev libpng-dev zlib1g-dev libgl-dev libstb-dev
  libgtest-dev googletest libbenchmark-dev nlohmann-json3-dev
  xvfb xauth xdotool x11-apps imagemagick zenity libgtk-3-bin librsvg2-common
  fonts-dejavu-core
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

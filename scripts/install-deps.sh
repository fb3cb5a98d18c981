#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the simulator need,
# only those that are missing.
set -euo pipefail
packages=(build-essential cmake ninja-build qt6-base-dev libgl-dev libxkbcommon-dev libgtest-dev locales
          libbenchmark-dev libpng-dev libgif-dev fonts-dejavu-core xvfb xdotool imagemagick x11-utils libxdamage-dev
          desktop-file-utils appstream dpkg-dev file lintian)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

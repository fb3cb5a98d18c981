#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the simulator need,
# only those that are missing.
set -euo pipefail
packages=(build-essential cmake ninja-build qt6-base-dev libgl-dev libxkbcommon-dev libgtest-dev locales
          libbenchmark-dev libpng-dev libgif-dev fonts-dejavu-core xvfb xdotool imagemagick x11-utils libxdamage-dev
          desktop-file-utils appstream dpkg-dev file lintian emscripten chromium firefox-esr)
# npm for the browser tests' driver: Debian's, unless a node with its own npm is there.
command -v npm >/dev/null || packages+=(npm)
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

# The browser tests' driver, puppeteer-core, from npm at the versions of the
# lock file, into tests/web/node_modules; it downloads no browser (Debian's
# chromium and firefox-esr are driven). Skipped when it is there already.
web="$(dirname "$0")/../tests/web"
if [ ! -f "$web/node_modules/.package-lock.json" ] || ! cmp -s <(sed -n '/"packages"/,$p' "$web/package-lock.json" | md5sum) "$web/node_modules/.lock-sum" 2>/dev/null; then
  (cd "$web" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
  sed -n '/"packages"/,$p' "$web/package-lock.json" | md5sum > "$web/node_modules/.lock-sum"
fi

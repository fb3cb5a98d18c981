#!/usr/bin/env bash
# Installs what is missing, then builds the simulator optimised and packs it
# as a Debian package in build/package/.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --workflow --preset package
ls build/package/*.deb

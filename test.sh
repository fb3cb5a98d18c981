#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test three times over:
# the plain build, the build under ASan and UBSan, and the Qt-free core under TSan.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
for preset in test asan tsan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

#!/usr/bin/env bash
# The browser tests of the page: tests/web/browser_test.mjs with the site of
# the web preset (built by the web.BuildSite test) and puppeteer-core from
# tests/web/node_modules (installed by scripts/install-deps.sh).
#   run.sh SOURCE_DIR REFERENCE_EXE --browser chromium|firefox ...
set -euo pipefail
src=$1 reference=$2
shift 2
if [ ! -d "$src/tests/web/node_modules/puppeteer-core" ]; then
  echo "puppeteer-core is not installed in tests/web/node_modules: run scripts/install-deps.sh" >&2
  exit 1
fi
cd "$src/tests/web"
exec node browser_test.mjs --site "$src/build/web/site" --reference "$reference" --goldens "$src/tests/goldens" "$@"

#!/usr/bin/env bash
# Renders the screen gallery into docs/gallery/: every scenario in
# docs/scenarios/ in English and Russian, those in docs/scenarios/us/ in US
# customary units. Builds orb720-script first (release preset) unless a
# program is given. The test gallery.* fails when the committed pictures and
# what the scenarios render part ways: run this and commit the result.
#   tools/gallery/render.sh [path/to/orb720-script]
set -euo pipefail
cd "$(dirname "$0")/../.."
prog=${1:-}
if [ -z "$prog" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target orb720-script
  prog=build/release/app/script/orb720-script
fi
tmp=$(mktemp -d docs/.gallery.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
"$prog" --verbose --lang en,ru --out "$tmp" docs/scenarios/*.scn
"$prog" --verbose --lang us --out "$tmp" docs/scenarios/us/*.scn
# Only now, with every picture made, does the old gallery go.
rm -f docs/gallery/*.png docs/gallery/*.gif
mkdir -p docs/gallery
mv "$tmp"/*.png "$tmp"/*.gif docs/gallery/
echo "gallery: $(ls docs/gallery | wc -l) files in docs/gallery"

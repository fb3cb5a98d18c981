#!/usr/bin/env bash
# Installs what is missing, builds the page into build/web/site and serves it
# on this machine only: http://127.0.0.1:8720/ (another port: ./web.sh 9000).
set -euo pipefail
cd "$(dirname "$0")"
port=${1:-8720}
scripts/install-deps.sh
cmake --workflow --preset web >/dev/null
echo "The ORB-720 Demo page: http://127.0.0.1:$port/  (the folder: build/web/site; Ctrl+C stops)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web/site

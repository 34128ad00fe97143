#!/usr/bin/env bash
# Builds the browser page (docs/ringfield.html) and serves it to this machine
# only, on 127.0.0.1, with python3's web server (scripts/setup.sh browser
# installs it). Ctrl+C stops the server.
#   bash scripts/web.sh [port]
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8000}
bash scripts/build-web.sh
command -v python3 >/dev/null || bash scripts/setup.sh browser
echo "web: open http://127.0.0.1:$port/ringfield.html (Ctrl+C stops the server)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory docs

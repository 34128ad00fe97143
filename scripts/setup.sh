#!/usr/bin/env bash
# Installs what ringfield needs on Debian 12, then configures and builds it
# into build/ and installs the browser tests' driver. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake make pkg-config git
  libsdl1.2-compat-dev
  libgtest-dev libbenchmark-dev libpng-dev ffmpeg gnuplot-nox jq
  xvfb xdotool x11-apps x11-utils openbox
  chromium firefox-esr emscripten
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# The browser tests run on node; a machine that has its own node keeps it.
command -v node >/dev/null || missing+=(nodejs npm)
if [ "${#missing[@]}" -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"

# The browser tests' driver, at the versions in tests/web/package-lock.json.
# It drives Debian's Chromium and Firefox and must download no browser.
(cd tests/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)

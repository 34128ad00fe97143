#!/usr/bin/env bash
# Rebuilds docs/ringfield.html, the browser page: the core and web/web.cpp
# compiled to WebAssembly with Debian's emscripten and put, with the page
# around it (web/shell.html), into one self-contained file that also opens
# from file://. Installs emscripten first when it is missing.
#   bash scripts/build-web.sh [output.html]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/ringfield.html}

if ! command -v em++ >/dev/null; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends emscripten
fi
# Debian's emscripten runs its JavaScript tools on node; a node that is not
# Debian's own does not look in Debian's module folder by itself.
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs

# The core is every source file of its six folders, compiled as for the
# desktop: the same picture needs the same floating-point rules. WebAssembly
# SIMD carries the core's vector code (the fade and conversion); without it
# those loops run a lane at a time, over twice as slow.
# The C locale sorts the files alike on every machine: the same link order
# makes the same page, byte for byte (tests/web/page_current.sh checks it).
export LC_ALL=C
core=(trig/*.cpp rings/*.cpp transform/*.cpp raster/*.cpp present/*.cpp frame/*.cpp)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
em++ -std=c++20 -O3 -msimd128 -Wall -Wextra -Wpedantic -Werror -ffp-contract=off -I. \
  "${core[@]}" web/web.cpp \
  --no-entry --shell-file web/shell.html \
  -sMODULARIZE=1 -sEXPORT_NAME=createRingfield -sSINGLE_FILE=1 -sMINIFY_HTML=0 \
  -sENVIRONMENT=web -sFILESYSTEM=0 \
  -sEXPORTED_FUNCTIONS=_web_start,_web_push,_web_frame,_web_pixels,_web_state \
  -o "$work/ringfield.html"
mkdir -p "$(dirname "$out")"
cp "$work/ringfield.html" "$out"
echo "build-web: $out ($(wc -c <"$out") bytes)"

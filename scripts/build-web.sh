#!/usr/bin/env bash
# Rebuilds docs/ringfield.html, the browser page: the core and web/web.cpp
# compiled to WebAssembly with Debian's emscripten and put, with the page
# around it (web/shell.html), into one self-contained file that also opens
# from file://. Installs emscripten first when it is missing (scripts/setup.sh
# browser).
#   bash scripts/build-web.sh [output.html]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/ringfield.html}

command -v em++ >/dev/null || bash scripts/setup.sh browser
# Debian's emscripten runs its JavaScript tools on node; a node that is not
# Debian's own does not look in Debian's module folder by itself.
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs

# The page is a CMake build with emscripten's toolchain, from the core's
# source lists and flags in cmake/core.cmake and the link options in
# CMakeLists.txt, in build-web/; runs side by side take turns there.
build="build-web"
mkdir -p "$build"
exec 9>"$build/.lock"
flock 9
if [ ! -f "$build/CMakeCache.txt" ]; then
    emcmake cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >"$build/configure.log" 2>&1 ||
        { cat "$build/configure.log" >&2; rm -f "$build/CMakeCache.txt"; exit 1; }
fi
cmake --build "$build" -j "$(nproc)"
mkdir -p "$(dirname "$out")"
cp "$build/ringfield.html" "$out"
echo "build-web: $out ($(wc -c <"$out") bytes)"

#!/usr/bin/env bash
# The Windows build: ringfield.exe and ringfield-capture.exe cross-built with
# Debian's mingw-w64 and tested under wine: the unit tests, the golden frames
# at every layout with both long runs, the program itself in a window under
# openbox on Xvfb, the version resources and the zip. Installs what it needs
# on Debian 12 (scripts/setup.sh's windows and tests groups); safe to run
# again. Builds into build-windows/, wine's prefix inside it.
#   bash scripts/windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh windows tests

# The tests run wine; its prefix lives in the build folder.
WINEPREFIX=$(pwd)/build-windows/wine
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
start=$SECONDS
# CMake reads a toolchain file only when it first configures a folder.
toolchain=()
[ -f build-windows/CMakeCache.txt ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake)
cmake -S . -B build-windows "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DRINGFIELD_BENCH=OFF >/dev/null
cmake --build build-windows -j "$(nproc)"
echo "windows.sh: built in $((SECONDS - start)) s"

start=$SECONDS
status=0
ctest --test-dir build-windows -j "$(nproc)" --output-on-failure --output-junit "$(pwd)/build-windows/junit.xml" ||
    status=1
echo "windows.sh: tests under wine $([ "$status" -eq 0 ] && echo passed || echo FAILED) in $((SECONDS - start)) s"
exit "$status"

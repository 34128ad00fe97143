#!/usr/bin/env bash
# The Windows build: ringfield.exe and the tests cross-built with Debian's
# mingw-w64 and run under wine (the unit tests, and the program itself in a
# window under openbox on Xvfb). Installs what it needs on Debian 12; safe to
# run again. Builds into build-windows/, wine's prefix inside it.
#   bash scripts/windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

# The cross compiler, zlib for it, GoogleTest's sources (built below for the
# target), wine, and the smoke test's X server, window manager and tools.
packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest cmake pkg-config
          wine wine64 xvfb openbox xdotool x11-utils x11-apps)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

toolchain=$(pwd)/cmake/x86_64-w64-mingw32.cmake
root=$(pwd)/build-target/x86_64-w64-mingw32

# GoogleTest for the target, from the sources Debian ships, installed into
# build-target/ where the toolchain file looks.
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
if [ "$(cat "$root/gtest-built" 2>/dev/null)" != "$gtest_version" ]; then
    rm -rf build-target/gtest-windows
    cmake -S /usr/src/googletest -B build-target/gtest-windows -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$root/usr" >/dev/null
    cmake --build build-target/gtest-windows -j "$(nproc)"
    cmake --install build-target/gtest-windows >/dev/null
    echo "$gtest_version" >"$root/gtest-built"
fi

# Test discovery and the tests run wine; its prefix lives in the build folder.
export WINEPREFIX=$(pwd)/build-windows/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
start=$SECONDS
# CMake reads a toolchain file only when it first configures a folder.
toolchain_option=()
[ -f build-windows/CMakeCache.txt ] || toolchain_option=(-DCMAKE_TOOLCHAIN_FILE="$toolchain")
cmake -S . -B build-windows "${toolchain_option[@]}" -DCMAKE_BUILD_TYPE=Release -DRINGFIELD_BENCH=OFF >/dev/null
cmake --build build-windows -j "$(nproc)"
echo "windows.sh: built in $((SECONDS - start)) s"

start=$SECONDS
status=0
ctest --test-dir build-windows -j "$(nproc)" --output-on-failure --output-junit "$(pwd)/build-windows/junit.xml" ||
    status=1
echo "windows.sh: tests under wine $([ "$status" -eq 0 ] && echo passed || echo FAILED) in $((SECONDS - start)) s"
exit "$status"

#!/usr/bin/env bash
# Installs what ringfield needs on Debian 12, the one place that does; safe to
# run again. Packages come in groups; with none named, `demo` is meant.
#   bash scripts/setup.sh [GROUP...]
#   demo     building the demo, the capture tool and the unit tests; also
#            configures and builds build/
#   tests    the rest of the suite and the docs' scripts: the window smoke
#            test, benchmarks, ffmpeg, gnuplot and jq, dpkg-dev and file for
#            the Debian package's dependencies, lintian, mandoc, appstream
#            and desktop-file-utils for its checks, and gdb for the stacks of
#            a hung run in scripts/endurance.sh
#   browser  the browser page's build, tests and server: Chromium, Firefox,
#            emscripten, node and npm (when there is no node), python3, and
#            the driver in tests/web
#   cross    the aarch64 and s390x cross builds: qemu-user, the cross
#            compilers, and each target's libpng, zlib and GoogleTest
#            unpacked into build-target/
#   windows  the Windows build: the MinGW-w64 compiler, its zlib, wine, and
#            GoogleTest and libpng built for Windows into build-target/ from
#            Debian's sources
#   lint     the static checks of scripts/lint.sh: clang-format, clang-tidy
#            and shellcheck
#   release  what scripts/release.sh needs besides the windows group: the
#            demo's compiler and libraries, with no build, and python3 for
#            the zip
#   fuzz     scripts/fuzz.sh: clang with libFuzzer and the sanitizers' runtime,
#            and gdb for the crashes it finds
set -euo pipefail
cd "$(dirname "$0")/.."

groups=("$@")
[ "${#groups[@]}" -gt 0 ] || groups=(demo)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

packages=()
for group in "${groups[@]}"; do
  case "$group" in
    demo) packages+=(g++ cmake make pkg-config git libsdl1.2-compat-dev libgtest-dev libpng-dev) ;;
    tests) packages+=(libbenchmark-dev ffmpeg gnuplot-nox jq xvfb xdotool x11-apps x11-utils openbox dpkg-dev file lintian mandoc appstream desktop-file-utils gdb) ;;
    browser)
      packages+=(chromium firefox-esr emscripten python3)
      # A machine that has its own node keeps it.
      command -v node >/dev/null || packages+=(nodejs npm)
      ;;
    cross) packages+=(qemu-user g++-aarch64-linux-gnu g++-s390x-linux-gnu) ;;
    windows) packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 googletest dpkg-dev cmake) ;;
    lint) packages+=(clang-format-14 clang-tidy-14 clang-14 shellcheck git jq) ;;
    release) packages+=(g++ cmake make pkg-config git libsdl1.2-compat-dev libpng-dev python3) ;;
    fuzz) packages+=(clang-14 libclang-rt-14-dev gdb cmake make pkg-config libpng-dev) ;;
    *) echo "setup.sh: unknown group '$group' (demo, tests, browser, cross, windows, lint, release or fuzz)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Debian's name for each cross target's architecture.
debian_arch() { case "$1" in aarch64) echo arm64 ;; s390x) echo s390x ;; esac; }

# Each cross target's libpng, zlib and GoogleTest, unpacked into
# build-target/ for a static link. They are not installed as multiarch
# packages: those must carry the same version as the host's copies, and the
# host's may have security updates that another architecture's archive does
# not get.
unpack_targets() {
  local targets=(aarch64 s390x) target_packages=(libpng-dev zlib1g-dev libgtest-dev) need_update=no t arch root debs
  for t in "${targets[@]}"; do
    arch=$(debian_arch "$t")
    [ -f "build-target/$t-linux-gnu/unpacked" ] && continue
    if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
      "${sudo_cmd[@]}" dpkg --add-architecture "$arch"
      need_update=yes
    fi
    apt-cache show "libpng-dev:$arch" >/dev/null 2>&1 || need_update=yes
  done
  [ "$need_update" = no ] || "${sudo_cmd[@]}" apt-get update -q
  for t in "${targets[@]}"; do
    arch=$(debian_arch "$t")
    root=build-target/$t-linux-gnu
    [ -f "$root/unpacked" ] && continue
    debs=$(mktemp -d)
    # apt's download user must be able to write there when run as root.
    [ "$(id -u)" -ne 0 ] || ! id _apt >/dev/null 2>&1 || chown _apt "$debs"
    (cd "$debs" && apt-get download -q "${target_packages[@]/%/:$arch}")
    rm -rf "$root"
    mkdir -p "$root"
    for deb in "$debs"/*.deb; do dpkg-deb -x "$deb" "$root"; done
    # Static libraries only: a shared one would be picked first and cannot
    # be linked statically.
    find "$root" -name '*.so*' -delete
    (cd "$debs" && ls -- *.deb) >"$root/unpacked"
    rm -rf "$debs"
  done
}

# GoogleTest and libpng for the Windows build, built with its toolchain file
# into build-target/ (zlib is Debian's libz-mingw-w64-dev): GoogleTest from
# the sources Debian's googletest package ships, libpng from Debian's own
# source package. Debian's default apt sources have no source entries; one is
# derived from the machine's own (same archive, suites and keys) into a file
# of its own.
build_windows_libraries() {
  local toolchain root gtest_version source_dir png_source png_licence versions version
  toolchain=$(pwd)/cmake/x86_64-w64-mingw32.cmake
  root=$(pwd)/build-target/x86_64-w64-mingw32
  mkdir -p "$root"
  gtest_version=$(dpkg-query -W -f='${Version}' googletest)
  if [ "$(cat "$root/gtest-built" 2>/dev/null)" != "$gtest_version" ]; then
  rm -rf build-target/gtest-windows
  cmake -S /usr/src/googletest -B build-target/gtest-windows -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$root/usr" >/dev/null
  cmake --build build-target/gtest-windows -j "$(nproc)" >/dev/null
  cmake --install build-target/gtest-windows >/dev/null
  echo "$gtest_version" >"$root/gtest-built"
  fi
  # The zip's notices need libpng's licence; the source tree is deleted
  # after the build, so its licence files are kept beside the library.
  png_licence=$root/usr/share/doc/libpng
  [ ! -f "$root/png-built" ] || [ ! -f "$png_licence/LICENSE" ] || return 0
  if [ -z "$(apt-cache showsrc libpng1.6 2>/dev/null)" ]; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/ringfield-deb-src.sources >/dev/null
  else
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/ringfield-deb-src.list >/dev/null
  fi
  "${sudo_cmd[@]}" apt-get update -q
  fi
  source_dir=$(mktemp -d)
  # apt's download user must be able to write there when run as root.
  [ "$(id -u)" -ne 0 ] || ! id _apt >/dev/null 2>&1 || chown _apt "$source_dir"
  # The newest version the archive serves: a mirror can list a source version
  # whose files it does not hold yet.
  # A library built before its licence was kept only needs the licence, from
  # the same version's source.
  versions=$(cat "$root/png-built" 2>/dev/null ||
    apt-cache showsrc libpng1.6 | awk '/^Version:/ { print $2 }' | sort -rV)
  for version in $versions; do
  (cd "$source_dir" && apt-get source -q "libpng1.6=$version" >/dev/null 2>&1) && break
  done
  png_source=$(find "$source_dir" -mindepth 1 -maxdepth 1 -type d -name 'libpng*')
  [ -n "$png_source" ] || { echo "setup.sh: could not fetch libpng's Debian source package" >&2; exit 1; }
  if [ ! -f "$root/png-built" ]; then
  rm -rf build-target/png-windows
  cmake -S "$png_source" -B build-target/png-windows -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DCMAKE_INSTALL_PREFIX="$root/usr" >/dev/null
  cmake --build build-target/png-windows -j "$(nproc)" >/dev/null
  cmake --install build-target/png-windows >/dev/null
  fi
  mkdir -p "$png_licence"
  cp "$png_source/LICENSE" "$png_source/debian/copyright" "$png_licence/"
  rm -rf "$source_dir"
  echo "$version" >"$root/png-built"
}

for group in "${groups[@]}"; do
  case "$group" in
    demo)
      cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
      cmake --build build -j "$(nproc)"
      ;;
    browser)
      # The browser tests' driver, at the versions in tests/web/package-lock.json.
      # It drives Debian's Chromium and Firefox and must download no browser.
      (cd tests/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
      ;;
    cross) unpack_targets ;;
    windows) build_windows_libraries ;;
  esac
done

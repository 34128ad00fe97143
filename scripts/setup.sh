#!/usr/bin/env bash
# Installs what ringfield needs on Debian 12, the one place that does; safe to
# run again. Packages come in groups; with none named, `demo` is meant.
#   bash scripts/setup.sh [GROUP...]
#   demo     building the demo, the capture tool and the unit tests; also
#            configures and builds build/
#   tests    the rest of the suite and the docs' scripts: the window smoke
#            test, benchmarks, ffmpeg, gnuplot and jq
#   browser  the browser page's build, tests and server: Chromium, Firefox,
#            emscripten, node and npm (when there is no node), python3, and
#            the driver in tests/web
#   cross    the aarch64 and s390x cross builds: qemu-user, the cross
#            compilers, and each target's libpng, zlib and GoogleTest
#            unpacked into build-target/
#   windows  the Windows build: the MinGW-w64 compiler, its zlib, and wine
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
    tests) packages+=(libbenchmark-dev ffmpeg gnuplot-nox jq xvfb xdotool x11-apps x11-utils openbox) ;;
    browser)
      packages+=(chromium firefox-esr emscripten python3)
      # A machine that has its own node keeps it.
      command -v node >/dev/null || packages+=(nodejs npm)
      ;;
    cross) packages+=(qemu-user g++-aarch64-linux-gnu g++-s390x-linux-gnu) ;;
    windows) packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64) ;;
    *) echo "setup.sh: unknown group '$group' (demo, tests, browser, cross or windows)" >&2; exit 2 ;;
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
  esac
done

#!/usr/bin/env bash
# Makes the release files in dist/ from the committed tree: the Debian
# package, the Windows zip, the browser page, the source archive and their
# SHA256SUMS. Installs what it needs (scripts/setup.sh's release and windows
# groups); refuses a tree with changes not committed. Reproducible: the same
# commit gives the same bytes in any folder, at any time.
#   bash scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -n "$(git status --porcelain)" ]; then
  echo "release.sh: the tree has changes not committed; commit or stash them first:" >&2
  git status --short >&2
  exit 1
fi
version=$(sed -n 's/^project(ringfield VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release.sh: no version in CMakeLists.txt's project()" >&2; exit 1; }

bash scripts/setup.sh release windows

# Everything dated by the last commit: file times in the archives, and the
# mingw linker's time stamp in the programs' headers (it reads this only
# when it is set).
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
# The same umask in any shell, for the files the builds write and pack, and
# UTC for the zip's DOS times, which are local.
umask 022
export TZ=UTC
# No trace of this folder in the programs.
flags="-ffile-prefix-map=$(pwd)=. -fdebug-prefix-map=$(pwd)=."
work=build-release
rm -rf "$work" dist
mkdir -p dist

# The Debian package, from its own build: no tests, no benchmarks.
cmake -S . -B "$work/linux" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DRINGFIELD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/linux" -j "$(nproc)"
cpack --config "$work/linux/CPackConfig.cmake" -G DEB -B "$work/linux/package" >/dev/null
cp "$work/linux/package/ringfield_${version}_amd64.deb" dist/

# The Windows zip: the programs and text files cmake --install puts in its
# folder, packed in sorted order with fixed times (CPack's zip is neither).
cmake -S . -B "$work/windows" -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF -DRINGFIELD_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/windows" -j "$(nproc)"
top=ringfield-${version}-windows-x86_64
cmake --install "$work/windows" --prefix "$work/zip/$top" --strip >/dev/null
# The zip records owners too: run as root (as setup.sh is), they are root's.
mtime=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC')
(cd "$work/zip" && find "$top" -type f | LC_ALL=C sort >files.txt &&
  cmake -E tar cf "../../dist/$top.zip" --format=zip --mtime="$mtime" --files-from=files.txt)

# The page as committed; the test web_page_current holds it to what its
# sources build.
cp docs/ringfield.html "dist/ringfield-${version}.html"

git archive --format=tar.gz --prefix="ringfield-${version}/" -o "dist/ringfield-${version}.tar.gz" HEAD

(cd dist && sha256sum "ringfield_${version}_amd64.deb" "$top.zip" "ringfield-${version}.html" \
  "ringfield-${version}.tar.gz" >SHA256SUMS)
echo "release.sh: dist/ holds:"
(cd dist && ls -l && cat SHA256SUMS)

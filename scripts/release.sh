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
# The same umask in any shell, for the files the builds write and pack.
umask 022
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
# folder, packed in sorted order, every entry dated by the commit, with its
# mode and no owner or other time. Neither CPack's zip nor cmake -E tar can
# (the latter stores each file's access and change times), so Python's
# zipfile writes it.
cmake -S . -B "$work/windows" -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF -DRINGFIELD_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/windows" -j "$(nproc)"
top=ringfield-${version}-windows-x86_64
cmake --install "$work/windows" --prefix "$work/zip/$top" --strip >/dev/null
python3 - "$work/zip" "$top" "dist/$top.zip" <<'PYTHON'
import os, sys, time, zipfile
root, top, out = sys.argv[1:]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]  # zip dates start in 1980
names = sorted(os.path.relpath(os.path.join(d, f), root)
               for d, _, files in os.walk(os.path.join(root, top)) for f in files)
with zipfile.ZipFile(out, "w") as archive:
    for name in names:
        info = zipfile.ZipInfo(name, stamp)
        info.create_system = 3  # Unix, so that the modes below count
        info.external_attr = (0o100000 | os.stat(os.path.join(root, name)).st_mode & 0o777) << 16
        with open(os.path.join(root, name), "rb") as f:
            archive.writestr(info, f.read(), zipfile.ZIP_DEFLATED, 9)
PYTHON

# The page as committed; the test web_page_current holds it to what its
# sources build.
cp docs/ringfield.html "dist/ringfield-${version}.html"

git archive --format=tar.gz --prefix="ringfield-${version}/" -o "dist/ringfield-${version}.tar.gz" HEAD

(cd dist && sha256sum "ringfield_${version}_amd64.deb" "$top.zip" "ringfield-${version}.html" \
  "ringfield-${version}.tar.gz" >SHA256SUMS)
echo "release.sh: dist/ holds:"
(cd dist && ls -l && cat SHA256SUMS)

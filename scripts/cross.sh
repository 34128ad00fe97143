#!/usr/bin/env bash
# Cross builds for 64-bit ARM and for big-endian IBM Z, each run under
# qemu-user: the unit tests and the golden frames at every layout, against
# the same stored hashes as the native build. Installs what it needs on
# Debian 12; safe to run again.
#   bash scripts/cross.sh [aarch64] [s390x]      (both when none is named)
# Under emulation the long golden run stops after RINGFIELD_CROSS_LONG_FRAMES
# frames (default 2000 of the native 6000) and checks the frames it reaches.
set -euo pipefail
cd "$(dirname "$0")/.."

long_frames=${RINGFIELD_CROSS_LONG_FRAMES:-2000}
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(aarch64 s390x)

# Debian's name for each target's architecture.
debian_arch() { case "$1" in aarch64) echo arm64 ;; s390x) echo s390x ;; *) return 1 ;; esac; }
for t in "${targets[@]}"; do
    debian_arch "$t" >/dev/null || { echo "cross.sh: unknown target '$t' (aarch64 or s390x)" >&2; exit 2; }
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

# The cross compilers and the emulator.
host_packages=(qemu-user)
for t in "${targets[@]}"; do host_packages+=("g++-$t-linux-gnu"); done
missing=()
for p in "${host_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Each target's libpng, zlib and GoogleTest, unpacked into build-target/ for
# a static link. They are not installed as multiarch packages: those must carry
# the same version as the host's copies, and the host's may have security
# updates that another architecture's archive does not get.
target_packages=(libpng-dev zlib1g-dev libgtest-dev)
need_update=no
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

for t in "${targets[@]}"; do
    start=$SECONDS
    # CMake reads a toolchain file only when it first configures a folder.
    toolchain=()
    [ -f "build-$t/CMakeCache.txt" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="cmake/$t-linux-gnu.cmake")
    cmake -S . -B "build-$t" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DRINGFIELD_DESKTOP=OFF -DRINGFIELD_BENCH=OFF
    cmake --build "build-$t" -j "$(nproc)"
    echo "cross.sh: $t built in $((SECONDS - start)) s"
done

# The unit tests and the golden frames of every target at once, each into a
# log of its own that is shown when it is done. (The shuffled and soak runs
# repeat these tests for the sanitizer build and stay native.)
job() {  # log, name, command...
    local log=$1 name=$2 start=$SECONDS status=0
    shift 2
    "$@" >"$log" 2>&1 || status=$?
    echo "cross.sh: $name $([ "$status" -eq 0 ] && echo passed || echo FAILED) in $((SECONDS - start)) s" >>"$log"
    return "$status"
}
# The unit tests under the emulator. A test that skips (GTEST_SKIP, for a
# missing tool) would pass unseen here, so a skip fails the run.
unit_tests() {  # target
    local status=0
    qemu-"$1" "build-$1/tests/core_tests" --gtest_brief=1 >"build-$1/unit.out" 2>&1 || status=$?
    cat "build-$1/unit.out"
    if grep -q '^\[  SKIPPED \]' "build-$1/unit.out"; then
        echo "cross.sh: $1 core_tests skipped tests (reasons above): install what they need"
        status=1
    fi
    return "$status"
}
pids=()
logs=()
for t in "${targets[@]}"; do
    job "build-$t/unit.log" "$t core_tests under qemu-$t" unit_tests "$t" &
    pids+=($!)
    logs+=("build-$t/unit.log")
    job "build-$t/golden.log" "$t golden frames ($long_frames-frame long run) under qemu-$t" \
        env RINGFIELD_RUNNER="qemu-$t" bash tests/golden_test.sh check "build-$t/ringfield-capture" "$long_frames" &
    pids+=($!)
    logs+=("build-$t/golden.log")
done
status=0
for i in "${!pids[@]}"; do
    wait "${pids[$i]}" || status=1
    cat "${logs[$i]}"
done
if [ "$status" -ne 0 ]; then
    echo "cross.sh: a frame that differs only under emulation is a portability fault; do not re-record it" >&2
fi
exit "$status"

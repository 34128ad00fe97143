#!/usr/bin/env bash
# Cross builds for 64-bit ARM and for big-endian IBM Z, each run under
# qemu-user: the unit tests and the golden frames at every layout, against
# the same stored hashes as the native build. Installs what it needs on
# Debian 12 (scripts/setup.sh cross); safe to run again.
#   bash scripts/cross.sh [aarch64] [s390x]      (both when none is named)
# Under emulation the long golden run stops after RINGFIELD_CROSS_LONG_FRAMES
# frames (default 2000 of the native 6000) and checks the frames it reaches.
set -euo pipefail
cd "$(dirname "$0")/.."

long_frames=${RINGFIELD_CROSS_LONG_FRAMES:-2000}
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(aarch64 s390x)

for t in "${targets[@]}"; do
    case "$t" in
        aarch64 | s390x) ;;
        *) echo "cross.sh: unknown target '$t' (aarch64 or s390x)" >&2; exit 2 ;;
    esac
done

# The cross compilers, the emulator and the targets' libraries.
bash scripts/setup.sh cross

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
# shellcheck disable=SC2317  # run through job below
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

#!/usr/bin/env bash
# Installs and builds everything, then runs the whole suite twice: the normal
# optimised build and an AddressSanitizer + UndefinedBehaviorSanitizer build;
# then the unit tests and golden frames on aarch64 and s390x under emulation,
# and the Windows build's tests under wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRINGFIELD_SANITIZE=ON
cmake --build build-sanitize -j "$(nproc)"

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir build -j "$(nproc)" --output-on-failure
ctest --test-dir build-sanitize -j "$(nproc)" --output-on-failure
bash scripts/cross.sh
bash scripts/windows.sh

#!/usr/bin/env bash
# Installs and builds everything, then runs the whole suite twice: the normal
# optimised build and an AddressSanitizer + UndefinedBehaviorSanitizer build;
# then the unit tests and golden frames on aarch64 and s390x under emulation,
# and the Windows build's tests under wine; and checks the tree last
# (scripts/lint.sh), once the Windows build's compile commands exist, so that
# the Windows files are checked too.
# Everything is installed first, so a test skipped for a missing tool is a
# failure here too: the run ends with a line naming every skipped test.
set -euo pipefail
cd "$(dirname "$0")/.."

# Every group the suite needs; the demo group also builds build/.
bash scripts/setup.sh demo tests browser cross windows lint
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRINGFIELD_SANITIZE=ON
cmake --build build-sanitize -j "$(nproc)"

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# The tests CTest did not run (skipped, or disabled) in a JUnit report, one
# line each with the reason the test printed: our scripts print a line with
# "SKIPPED:", GTEST_SKIP a "file:line: Skipped" line and the reason after it;
# a disabled test says so.
skipped_tests() {  # build folder, report
    awk -v build="$1" '
        /<testcase / { name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name)
                       notrun = $0 ~ /status="(notrun|disabled)"/; after = 0
                       reason = $0 ~ /status="disabled"/ ? " disabled" : ""
                       if (notrun) printf "%s %s", build, name
                       next }
        !notrun { next }
        /<\/testcase>/ { print reason == "" ? "" : ":" reason; notrun = 0; next }
        { line = $0; sub(/.*<system-out>/, "", line); sub(/<\/system-out>.*/, "", line) }
        after { if (index(reason, line) == 0) reason = reason " " line; after = 0; next }
        line ~ /SKIPPED:/ { sub(/.*SKIPPED: */, "", line); if (index(reason, line) == 0) reason = reason " " line }
        line ~ /: Skipped$/ { after = 1 }' "$2"
}

skips=$(mktemp)
trap 'rm -f "$skips"' EXIT
status=0
for build in build build-sanitize; do
    report=$(pwd)/$build/junit.xml
    rm -f "$report"
    ctest --test-dir "$build" -j "$(nproc)" --output-on-failure --output-junit "$report" || status=1
    [ ! -f "$report" ] || skipped_tests "$build" "$report" >>"$skips"
done
# Under emulation a skipped unit test fails cross.sh itself.
bash scripts/cross.sh || status=1
# The Windows build's tests under wine, in a report of their own.
bash scripts/windows.sh || status=1
[ ! -f build-windows/junit.xml ] || skipped_tests build-windows build-windows/junit.xml >>"$skips"
bash scripts/lint.sh || status=1

if [ -s "$skips" ]; then
    names=$(sed 's/:.*//; s| |/|' "$skips" | paste -sd, - | sed 's/,/, /g')
    echo "test.sh: FAILED: tests were skipped: $names" >&2
    sed 's/^/test.sh:   /' "$skips" >&2
    status=1
fi
exit "$status"

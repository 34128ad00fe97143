#!/usr/bin/env bash
# Fuzzes one of the targets in fuzz/ with libFuzzer for SECONDS (default 1800),
# built with clang, AddressSanitizer and UndefinedBehaviorSanitizer into
# build-fuzz/. It starts from the committed corpus (fuzz/corpus/TARGET/) and
# its dictionary (fuzz/TARGET.dict), and leaves the committed corpus alone:
#   build-fuzz/new/TARGET/      inputs that found new coverage
#   build-fuzz/crashes/TARGET/  each crash, leak or timeout as its input
#   build-fuzz/TARGET.log       libFuzzer's own output
# A crash input replays with build-fuzz/fuzz/fuzz_TARGET FILE (under gdb to
# look closer); once fixed, it joins fuzz/corpus/TARGET/ so that the test
# suite replays it. Ends with a summary line; status 1 when a crash was found.
#   bash scripts/fuzz.sh TARGET [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(options script core hashes png)
target=${1:-}
seconds=${2:-1800}
if [[ ! " ${targets[*]} " =~ \ ${target}\  ]] || [ -z "$target" ]; then
    echo "usage: bash scripts/fuzz.sh TARGET [SECONDS]; TARGET is one of: ${targets[*]}" >&2
    exit 2
fi
if [[ ! "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "fuzz.sh: SECONDS must be a whole number above 0, not '$seconds'" >&2
    exit 2
fi

bash scripts/setup.sh fuzz
# No desktop program, benchmark or tests: only the library, the core and the
# targets, all instrumented. -ffp-contract=off comes with the core's flags.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRINGFIELD_FUZZ=ON \
    -DRINGFIELD_DESKTOP=OFF -DRINGFIELD_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "fuzz_$target"

new=build-fuzz/new/$target
crashes=build-fuzz/crashes/$target
log=build-fuzz/$target.log
mkdir -p "$new" "$crashes"
# An input of the core target runs up to 64 whole frames under
# AddressSanitizer: half a second on an idle machine, but a busy one has
# stretched that past 10 s, which libFuzzer would report as a hang.
timeout=10
[ "$target" != core ] || timeout=60
options=(-max_total_time="$seconds" -timeout="$timeout" -print_final_stats=1 -close_fd_mask=1
         -artifact_prefix="$crashes/")
[ ! -f "fuzz/$target.dict" ] || options+=(-dict="fuzz/$target.dict")
before=$(find "$crashes" -type f | wc -l)

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
# New inputs go into the first folder named: the scratch one.
status=0
started=$SECONDS
"build-fuzz/fuzz/fuzz_$target" "${options[@]}" "$new" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?

# The last status line (#N ... cov: C ft: F corp: ...) and the final count.
last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
corpus=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$last")
found=$(( $(find "$crashes" -type f | wc -l) - before ))
echo "fuzz.sh: $target: ${execs:-?} executions in $((SECONDS - started)) s, cov ${cov:-?}, ft ${ft:-?}, corpus ${corpus:-?};" \
     "$found new crash(es) in $crashes/, new inputs in $new/, log $log"
if [ "$status" -ne 0 ] || [ "$found" -gt 0 ]; then
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*property broken|artifact_prefix|Test unit written)' "$log" | head -n 20 >&2 || true
    exit 1
fi

#!/usr/bin/env bash
# Golden frames. A short scripted run through all three scenes at every depth
# and channel order, and a long run of random input (every scene several
# times, pointer bursts, several wraps of the random pool) at 2 bytes and at
# 4 bytes with red at bit 0. Each saved frame must match the pixel hash kept
# in tests/golden/<run>/hashes.txt. The short 1-byte run also keeps a few
# pictures, so a difference there comes with a diff image.
#   check:  bash tests/golden_test.sh check  [path/to/ringfield-capture [long-frames]]
#   record: bash tests/golden_test.sh record [path/to/ringfield-capture]
# long-frames (default 6000) shortens the long run, for slow emulated hosts;
# it checks the stored hashes of the frames it reaches.
# RINGFIELD_RUNNER, when set, runs the capture tool (an emulator, say).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=${1:-check}
capture=${2:-$here/../build/ringfield-capture}
long_frames=${3:-6000}
runner=(${RINGFIELD_RUNNER:-})
status=0

# name, depth, run options, frames to save
runs=()
for depth in 1 1:bgr 2 2:bgr 3 3:bgr 4 4:bgr; do
    runs+=("d${depth/:/-}|$depth|--frames 130 --script $here/golden/script.txt|10,39,50,79,85,129")
done
for depth in 2 4:bgr; do
    runs+=("long-d${depth/:/-}|$depth|--frames $long_frames --random 5|49-$((long_frames - 1))/50")
done
kept="10 50 85"

for run in "${runs[@]}"; do
    IFS='|' read -r name depth options save <<<"$run"
    dir=$here/golden/$name
    # shellcheck disable=SC2206
    command=("${runner[@]}" "$capture" --depth "$depth" $options --save "$save")
    if [ "$mode" = record ]; then
        out=$(mktemp -d)
        mkdir -p "$dir"
        rm -f "$dir"/*.png
        "${command[@]}" --hash-list "$dir/hashes.txt" --out "$out"
        if [ "$name" = d1 ]; then
            for f in $kept; do cp "$out/$(printf 'frame-%06d.png' "$f")" "$dir/"; done
        fi
        rm -rf "$out"
    else
        rm -f "$dir"/*.actual.png "$dir"/*.diff.png
        "${command[@]}" --expect "$dir" || status=1
    fi
done
if [ "$status" -ne 0 ]; then
    echo "golden frames differ. After an intended change of the picture, re-record them with:" >&2
    echo "  bash tests/golden_test.sh record ${capture}" >&2
fi
exit "$status"

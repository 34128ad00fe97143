#!/usr/bin/env bash
# Golden frames: the same script through all three scenes at every depth and
# channel order; each saved frame must match the pixel hash kept in
# tests/golden/<run>/hashes.txt. The 1-byte run also keeps a few pictures, so
# a difference there comes with a diff image.
#   check:  bash tests/golden_test.sh check  [path/to/ringfield-capture]
#   record: bash tests/golden_test.sh record [path/to/ringfield-capture]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=${1:-check}
capture=${2:-$here/../build/ringfield-capture}
frames=130
save=10,39,50,79,85,129
kept="10 50 85"
status=0
for depth in 1 1:bgr 2 2:bgr 3 3:bgr 4 4:bgr; do
    dir=$here/golden/d${depth/:/-}
    run=("$capture" --depth "$depth" --frames "$frames" --script "$here/golden/script.txt" --save "$save")
    if [ "$mode" = record ]; then
        out=$(mktemp -d)
        mkdir -p "$dir"
        rm -f "$dir"/*.png
        "${run[@]}" --hash-list "$dir/hashes.txt" --out "$out"
        if [ "$depth" = 1 ]; then
            for f in $kept; do cp "$out/$(printf 'frame-%06d.png' "$f")" "$dir/"; done
        fi
        rm -rf "$out"
    else
        rm -f "$dir"/*.actual.png "$dir"/*.diff.png
        "${run[@]}" --expect "$dir" || status=1
    fi
done
exit "$status"

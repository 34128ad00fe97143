#!/usr/bin/env bash
# Golden frames. A short scripted run through all three scenes at every depth
# and channel order, and a long run of random input (every scene several
# times, pointer bursts, several wraps of the random pool) at 2 bytes and at
# 4 bytes with red at bit 0. Each saved frame must match the pixel hash kept
# in tests/golden/<run>/hashes.txt. The short 1-byte run also keeps a few
# pictures, so a difference there comes with a diff image.
# Natively on an x86-64 processor with AVX2, where the fade and the
# conversion run as 32-byte copies of the vector code, check also runs the
# short runs and the first 2000 frames of the long ones through the 16-byte
# code that other processors run (--narrow-vectors). Under an emulator or
# wine (RINGFIELD_RUNNER) there are no 32-byte copies to step around.
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
# An emulator's command, split into words on purpose.
# shellcheck disable=SC2206
runner=(${RINGFIELD_RUNNER:-})
status=0
vectors=()

# One run: its folder under golden/, depth, frames to save, then its options.
run() {
    local name=$1 depth=$2 save=$3 dir=$here/golden/$1 out f code
    shift 3
    local command=("${runner[@]}" "$capture" --depth "$depth" "$@" --save "$save" "${vectors[@]}")
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
        "${command[@]}" --expect "$dir" || {
            code=$?
            status=1
            echo "golden_test.sh: $name differs (the tool's status $code) ${vectors[*]}" >&2
        }
    fi
}

# Every run: the short ones, and the long ones to frame $1.
runs() {
    local depth
    for depth in 1 1:bgr 2 2:bgr 3 3:bgr 4 4:bgr; do
        run "d${depth/:/-}" "$depth" 10,39,50,79,85,129 --frames 130 --script "$here/golden/script.txt"
    done
    for depth in 2 4:bgr; do
        run "long-d${depth/:/-}" "$depth" "49-$(($1 - 1))/50" --frames "$1" --random 5
    done
}

kept="10 50 85"
[ "$mode" = record ] || rm -f "$here"/golden/*/*.actual.png "$here"/golden/*/*.diff.png
runs "$long_frames"
if [ "$mode" = check ] && [ "${#runner[@]}" -eq 0 ] && grep -qw avx2 /proc/cpuinfo 2>/dev/null; then
    echo "golden_test.sh: the frames again through the 16-byte vector code"
    vectors=(--narrow-vectors)
    runs $((long_frames < 2000 ? long_frames : 2000))
fi
# Frames written where the tool runs (under wine, through the Windows file
# calls) are what it reads back: written twice, the second run replacing
# every file, the hash list is the one kept and --expect passes on them. A
# folder in the way of the second frame ends the run with status 1, the
# first frame written and none after it.
if [ "$mode" = check ]; then
    out=$(mktemp -d)
    trap 'rm -rf "$out"' EXIT
    written=("${runner[@]}" "$capture" --depth 1 --frames 130 --script "$here/golden/script.txt" --save "10,39,50,79,85,129")
    for _ in 1 2; do "${written[@]}" --out "$out/w" --hash-list "$out/w/hashes.txt" || status=1; done
    cmp "$out/w/hashes.txt" "$here/golden/d1/hashes.txt" && "${written[@]}" --expect "$out/w" || status=1
    mkdir -p "$out/x/frame-000039.png"
    if "${written[@]}" --out "$out/x" 2>"$out/err" || ! grep -q '^ringfield-capture: cannot write .*frame-000039.png: ' "$out/err" ||
        [ "$(ls "$out/x")" != "$(printf 'frame-000010.png\nframe-000039.png')" ]; then
        status=1
        echo "golden_test.sh: a folder in the way of a frame: $(cat "$out/err"); left: $(ls "$out/x")" >&2
    fi
fi
if [ "$status" -ne 0 ]; then
    echo "golden frames differ. After an intended change of the picture, re-record them with:" >&2
    echo "  bash tests/golden_test.sh record '${capture}'" >&2
fi
exit "$status"

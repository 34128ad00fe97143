#!/usr/bin/env bash
# Makes the gallery in docs/gallery/ (shown in README.md and docs/scenes.md)
# from one capture of ringfield-capture's built-in tour: a still of each
# scene, and a looping animated WebP of each scene's last seconds, cut from a
# lossless clip. The scenes change at the tour's clicks, as the tool lists
# them.
#   bash scripts/gallery.sh [path/to/ringfield-capture]
set -euo pipefail
cd "$(dirname "$0")/.."
capture=${1:-build/ringfield-capture}
[ -x "$capture" ] || { echo "gallery: $capture not found; build first: bash scripts/setup.sh" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "gallery: ffmpeg not found (bash scripts/setup.sh tests installs it)" >&2; exit 1; }

# Every other frame at 30 per second keeps the pace of a 60 Hz display;
# 480 x 360 and this quality keep the busiest scene well under 2 MB.
frames=900
loop_frames=210   # 3.5 seconds of the demo
width=480
rate=30
quality=70
max_bytes=2000000

# Each scene ends where the next click is taken, the last with the run.
mapfile -t ends < <("$capture" --frames "$frames" --print-inputs | awk '$2 == "button" { print $1 }')
[ "${#ends[@]}" -gt 0 ] || { echo "gallery: $capture --print-inputs lists no click" >&2; exit 1; }
ends+=("$frames")
# A still is the scene's last frame; the last scene's is a second before
# the end of the run.
stills=()
for end in "${ends[@]}"; do stills+=($((end - 1))); done
stills[-1]=$((frames - 60))

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
saves=$(IFS=,; echo "${stills[*]}")
"$capture" --depth 4 --frames "$frames" --save "$saves" --out "$out" --video "$out/tour.mkv"
mkdir -p docs/gallery
# Scenes are numbered from 1, as the browser page and the docs name them.
for i in "${!ends[@]}"; do
  scene=$((i + 1))
  cp "$out/$(printf 'frame-%06d.png' "${stills[$i]}")" "docs/gallery/scene-$scene.png"
  # The loop is the scene's end, once the previous scene's trails have faded.
  last=${ends[$i]}
  first=$(( last - loop_frames ))
  ffmpeg -hide_banner -nostdin -loglevel error -i "$out/tour.mkv" \
    -vf "trim=start_frame=$first:end_frame=$last,setpts=PTS-STARTPTS,fps=$rate,scale=$width:-1:flags=lanczos" \
    -c:v libwebp_anim -lossless 0 -quality "$quality" -compression_level 6 -loop 0 \
    -y "$out/scene-$scene.webp"
  bytes=$(stat -c %s "$out/scene-$scene.webp")
  if [ "$bytes" -gt "$max_bytes" ]; then
    echo "gallery: scene-$scene.webp is $bytes bytes, more than $max_bytes; lower the quality or size" >&2
    exit 1
  fi
  cp "$out/scene-$scene.webp" "docs/gallery/scene-$scene.webp"
  echo "gallery: docs/gallery/scene-$scene.png and scene-$scene.webp, $bytes bytes"
done

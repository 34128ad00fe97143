#!/usr/bin/env bash
# Makes the README's gallery from one capture of ringfield-capture's built-in
# tour (a click at frames 300 and 600): a still of each scene, and a looping
# animated WebP of each scene's last seconds, cut from a lossless clip.
#   bash scripts/gallery.sh [path/to/ringfield-capture]
set -euo pipefail
cd "$(dirname "$0")/.."
capture=${1:-build/ringfield-capture}
[ -x "$capture" ] || { echo "gallery: $capture not found; build first: bash scripts/setup.sh" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "gallery: ffmpeg not found (apt-get install ffmpeg)" >&2; exit 1; }

# Every other frame at 30 per second keeps the pace of a 60 Hz display;
# 480 x 360 and this quality keep the busiest scene well under 2 MB.
loop_frames=210   # 3.5 seconds of the demo
width=480
rate=30
quality=70
max_bytes=2000000

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$capture" --depth 4 --frames 900 --save 299,599,840 --out "$out" --video "$out/tour.mkv"
mkdir -p docs/gallery
# Scenes are numbered from 1, as the browser page and the README name them.
cp "$out/frame-000299.png" docs/gallery/scene-1.png
cp "$out/frame-000599.png" docs/gallery/scene-2.png
cp "$out/frame-000840.png" docs/gallery/scene-3.png

for scene in 1 2 3; do
  # Each scene runs for 300 frames; the loop is its end, once the previous
  # scene's trails have faded.
  last=$(( scene * 300 ))
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
  echo "gallery: docs/gallery/scene-$scene.webp, $bytes bytes"
done
echo "gallery: docs/gallery/scene-1.png, scene-2.png, scene-3.png"

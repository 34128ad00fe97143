#!/usr/bin/env bash
# Makes the Windows programs' icon, windows/ringfield.ico, from a frame of the
# built-in tour: the middle square of scene 0's rings at 256, 48, 32 and 16
# pixels; and from the same square the Linux desktop's icons,
# app/icons/48/ringfield.png and app/icons/256/ringfield.png. Run once; the
# icons are committed.
#   bash scripts/icon.sh [path/to/ringfield-capture]
set -euo pipefail
cd "$(dirname "$0")/.."
capture=${1:-build/ringfield-capture}
[ -x "$capture" ] || { echo "icon: $capture not found; build first: bash scripts/setup.sh" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "icon: ffmpeg not found (apt-get install ffmpeg)" >&2; exit 1; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$capture" --depth 4 --frames 300 --save 299 --out "$out"
# The 256-pixel image is stored as PNG, the small ones as bitmaps with alpha.
ffmpeg -loglevel error -y -i "$out/frame-000299.png" -filter_complex \
    "crop=440:440:100:20,split=4[a][b][c][d];[a]scale=256:256:flags=lanczos,format=rgba[big];[b]scale=48:48:flags=area,format=bgra[m];[c]scale=32:32:flags=area,format=bgra[s];[d]scale=16:16:flags=area,format=bgra[t]" \
    -map '[big]' -c:v:0 png -map '[m]' -c:v:1 bmp -map '[s]' -c:v:2 bmp -map '[t]' -c:v:3 bmp \
    -f ico "$out/ringfield.ico"
cp "$out/ringfield.ico" windows/ringfield.ico
echo "icon: windows/ringfield.ico written ($(stat -c %s windows/ringfield.ico) bytes)"
# The desktop's icons: PNG with no text chunks (no date), so that a rerun
# writes the same bytes.
for size in 48 256; do
  mkdir -p "app/icons/$size"
  filter=lanczos
  [ "$size" -ge 256 ] || filter=area
  ffmpeg -loglevel error -y -i "$out/frame-000299.png" \
      -vf "crop=440:440:100:20,scale=$size:$size:flags=$filter,format=rgb24" -frames:v 1 \
      -fflags +bitexact -flags +bitexact "app/icons/$size/ringfield.png"
  echo "icon: app/icons/$size/ringfield.png written ($(stat -c %s "app/icons/$size/ringfield.png") bytes)"
done

#!/usr/bin/env bash
# Makes the README's gallery: one picture of each scene, taken by
# ringfield-capture from its built-in tour (a click at frames 300 and 600).
#   bash scripts/gallery.sh [path/to/ringfield-capture]
set -euo pipefail
cd "$(dirname "$0")/.."
capture=${1:-build/ringfield-capture}
[ -x "$capture" ] || { echo "gallery: $capture not found; build first: bash scripts/setup.sh" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$capture" --depth 4 --frames 900 --save 299,599,840 --out "$out"
mkdir -p docs/gallery
cp "$out/frame-000299.png" docs/gallery/scene-0.png
cp "$out/frame-000599.png" docs/gallery/scene-1.png
cp "$out/frame-000840.png" docs/gallery/scene-2.png
echo "gallery: docs/gallery/scene-0.png, scene-1.png, scene-2.png"

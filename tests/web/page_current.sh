#!/usr/bin/env bash
# Rebuilds the browser page from web/ and the core into a scratch folder and
# checks that it is, byte for byte, the committed docs/ringfield.html, so the
# page cannot drift from its sources. Skips (status 77) without emscripten.
#   bash tests/web/page_current.sh
set -euo pipefail
cd "$(dirname "$0")/../.."

if ! command -v em++ >/dev/null; then
  echo "SKIPPED: em++ (Debian's emscripten) is not installed; bash scripts/setup.sh installs it"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash scripts/build-web.sh "$work/ringfield.html" >/dev/null
if ! cmp -s "$work/ringfield.html" docs/ringfield.html; then
  echo "page_current: docs/ringfield.html is not what web/ builds; run bash scripts/build-web.sh and commit the page" >&2
  cmp "$work/ringfield.html" docs/ringfield.html >&2 || true
  exit 1
fi
echo "page_current: docs/ringfield.html is current ($(wc -c <docs/ringfield.html) bytes)"

#!/usr/bin/env bash
# The golden-frame script and the capture tool's files from folders whose
# names have spaces: a copy of the golden references and of the tool under
# "<scratch>/with space/", checked as golden_test.sh checks them (the long
# run cut short), and frames, a hash list and an input list written, renamed
# into place and read back there.
#   bash tests/space_test.sh path/to/ringfield-capture scratch-folder
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work="$2/with space"
rm -rf "$work"
mkdir -p "$work/tests" "$work/bin dir" "$work/out dir"
cp -r "$here/golden" "$here/golden_test.sh" "$work/tests/"
cp "$1" "$work/bin dir/ringfield-capture"
capture="$work/bin dir/ringfield-capture"

bash "$work/tests/golden_test.sh" check "$capture" 100

fail() { echo "space_test: $*" >&2; exit 1; }
"$capture" --random 9 --frames 300 --print-inputs >"$work/in puts.txt"
"$capture" --script "$work/in puts.txt" --frames 300 --save 99,299 --out "$work/out dir" \
    --hash-list "$work/out dir/hashes.txt"
"$capture" --random 9 --frames 300 --save 99,299 --expect "$work/out dir" ||
    fail "a script of the printed inputs drew other frames than the random run"
for f in frame-000099.png frame-000299.png hashes.txt; do
    [ -s "$work/out dir/$f" ] || fail "$f was not written"
done
left=$(find "$work" -name '*.part' -o -name '*.actual.png')
[ -z "$left" ] || fail "left behind: $left"
rm -rf "$work"
echo "space_test: passed"

#!/usr/bin/env bash
# Real-window smoke test: ringfield under Xvfb, steered and clicked with
# xdotool; the screen must show coloured rings, a key must end the program
# with status 0, and it must print nothing.
#   bash tests/smoke_test.sh [path/to/ringfield]
set -euo pipefail
program=${1:-$(dirname "$0")/../build/ringfield}
work=$(mktemp -d)
xvfb_pid=
program_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "smoke test: $*" >&2; exit 1; }

# Pixels whose channels are not all equal, read from an XWD dump of the root
# window (big-endian header; 32-bit pixels in the server's byte order, which
# Xvfb on this machine writes least significant byte first).
coloured_pixels() {
    xwd -root -silent -display "$DISPLAY" >"$work/shot.xwd"
    local header ncolors
    header=$(od -An -tu1 -N4 -j0 "$work/shot.xwd" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    ncolors=$(od -An -tu1 -N4 -j76 "$work/shot.xwd" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    od -An -v -tu4 -w4 -j $((header + ncolors * 12)) "$work/shot.xwd" |
        awk '{ r = int($1 / 65536) % 256; g = int($1 / 256) % 256; b = $1 % 256;
               if (r != g || g != b) n++ } END { print n + 0 }'
}

Xvfb -displayfd 3 -screen 0 640x480x24 -br -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
unset SDL_VIDEODRIVER

# The checker must see nothing on the bare black screen.
[ "$(coloured_pixels)" -eq 0 ] || fail "the empty screen already has coloured pixels"

# In a sanitizer build, the window system's libraries (D-Bus and others that
# SDL loads at run time) keep allocations to the end that LeakSanitizer
# reports; ringfield itself allocates nothing, so leak checking is off here.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$program" >"$work/out" 2>"$work/err" &
program_pid=$!

seen=0
for _ in $(seq 60); do
    sleep 0.5
    kill -0 "$program_pid" 2>/dev/null || fail "ringfield ended early: $(cat "$work/err")"
    seen=$(coloured_pixels)
    [ "$seen" -gt 1000 ] && break
done
[ "$seen" -gt 1000 ] || fail "no rings on the screen ($seen coloured pixels)"

xdotool mousemove 480 160
sleep 0.3
xdotool click 1
sleep 0.5
xdotool mousemove 200 300
sleep 0.5
seen=$(coloured_pixels)
[ "$seen" -gt 1000 ] || fail "no rings after steering and a click ($seen coloured pixels)"

xdotool key a
for _ in $(seq 100); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$program_pid" 2>/dev/null && fail "ringfield did not end on a key press"
status=0
wait "$program_pid" || status=$?
program_pid=
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$work/err")"
[ ! -s "$work/out" ] || fail "ringfield printed on stdout: $(cat "$work/out")"
[ ! -s "$work/err" ] || fail "ringfield printed on stderr: $(cat "$work/err")"
echo "smoke test: rings seen, key press ended ringfield with status 0"

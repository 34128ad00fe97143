#!/usr/bin/env bash
# Real-window smoke test: ringfield as on a desktop, under a window manager
# (openbox) on an Xvfb screen larger than the mode, steered and clicked with
# xdotool. The picture must fill the screen's height at 4:3, centred, with
# the rings around the centre; a key must end the program with status 0, and
# it must print nothing.
#   bash tests/smoke_test.sh [path/to/ringfield]
# RINGFIELD_RUNNER, when set, runs the program (wine for ringfield.exe, say).
set -euo pipefail
program=${1:-$(dirname "$0")/../build/ringfield}
runner=(${RINGFIELD_RUNNER:-})
width=1280
height=800
work=$(mktemp -d)
xvfb_pid=
wm_pid=
program_pid=
cleanup() {
    # SDL turns a plain kill into a quit request, which a program stuck in a frame never reads.
    [ -n "$program_pid" ] && kill -KILL "$program_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "smoke test: $*" >&2; exit 1; }

# Where the coloured pixels (channels not all equal) lie, from an XWD dump of
# the root window (big-endian header; 32-bit pixels in the server's byte
# order, which Xvfb writes least significant byte first): their count, the
# bounding box and the mean position.
coloured_pixels() {
    xwd -root -silent -display "$DISPLAY" >"$work/shot.xwd"
    local header ncolors
    header=$(od -An -tu1 -N4 -j0 "$work/shot.xwd" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    ncolors=$(od -An -tu1 -N4 -j76 "$work/shot.xwd" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    od -An -v -tu4 -w4 -j $((header + ncolors * 12)) "$work/shot.xwd" |
        awk -v w="$width" 'BEGIN { x0 = y0 = 1e9; x1 = y1 = -1 }
             { r = int($1 / 65536) % 256; g = int($1 / 256) % 256; b = $1 % 256
               if (r != g || g != b) {
                   x = (NR - 1) % w; y = int((NR - 1) / w); n++; sx += x; sy += y
                   if (x < x0) x0 = x; if (x > x1) x1 = x; if (y < y0) y0 = y; if (y > y1) y1 = y } }
             END { if (n == 0) print 0, 0, 0, 0, 0, 0, 0
                   else printf "%d %d %d %d %d %d %d\n", n, x0, y0, x1, y1, sx / n, sy / n }'
}

Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -br -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
unset SDL_VIDEODRIVER
openbox --sm-disable >"$work/wm.log" 2>&1 &
wm_pid=$!
for _ in $(seq 50); do
    xprop -root -display "$DISPLAY" _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
    sleep 0.1
done

# The checker must see nothing on the bare black screen.
read -r seen _ < <(coloured_pixels)
[ "$seen" -eq 0 ] || fail "the empty screen already has coloured pixels"

# In a sanitizer build, the window system's libraries (D-Bus and others that
# SDL loads at run time) keep allocations to the end that LeakSanitizer
# reports; ringfield itself allocates nothing, so leak checking is off here.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "${runner[@]}" "$program" >"$work/out" 2>"$work/err" &
program_pid=$!

# The 4:3 picture at the screen's full height, centred: columns band_left..band_right.
band_width=$((height * 4 / 3))
band_left=$(((width - band_width) / 2))
band_right=$((band_left + band_width - 1))
check_picture() {
    local n x0 y0 x1 y1 mx my
    read -r n x0 y0 x1 y1 mx my < <(coloured_pixels)
    echo "smoke test: $1: $n coloured pixels in x $x0..$x1, y $y0..$y1, centred at ($mx, $my)"
    [ "$n" -gt 1000 ] || return 1
    # Nothing in the bars beside the picture (a column of slack for the scaling's rounding).
    [ "$x0" -ge $((band_left - 1)) ] && [ "$x1" -le $((band_right + 1)) ] || fail "$1: colour outside the 4:3 picture"
    # The rings turn about the picture's centre. Scaled to the screen's height, the large rings of
    # the first scene and their trails reach well beyond the 480 rows of the mode.
    [ $((mx - width / 2)) -ge -80 ] && [ $((mx - width / 2)) -le 80 ] && [ $((my - height / 2)) -ge -80 ] &&
        [ $((my - height / 2)) -le 80 ] || fail "$1: the rings are not around the centre of the screen"
    [ -z "$2" ] || [ $((y1 - y0)) -ge $((height * 3 / 4)) ] || fail "$1: the picture does not fill the screen's height"
}

shown=
for _ in $(seq 60); do
    sleep 0.5
    kill -0 "$program_pid" 2>/dev/null || fail "ringfield ended early: $(cat "$work/err")"
    check_picture "start" full-height && { shown=1; break; }
done
[ -n "$shown" ] || fail "no rings on the screen"

xdotool mousemove $((width / 2 + 250)) $((height / 2 - 150))
sleep 0.3
xdotool click 1
sleep 0.5
xdotool mousemove $((width / 2 - 200)) $((height / 2 + 100))
sleep 1
check_picture "after steering and a click" "" || fail "no rings after steering and a click"

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
echo "smoke test: rings seen at full height, key press ended ringfield with status 0"

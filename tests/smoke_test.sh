#!/usr/bin/env bash
# Real-window smoke test: ringfield as on a desktop, under a window manager
# (openbox) on an Xvfb screen larger than the mode, steered and clicked with
# xdotool. The picture must fill the screen's height at 4:3, centred, with
# the rings around the centre, also after steering; a click must bring the
# next scene's colours; a key must end the program with status 0, and it must
# print nothing. Every step waits for a state, with a deadline; only a
# picture still wrong at its deadline fails.
#   bash tests/smoke_test.sh [path/to/ringfield]
# Exits 77 (skipped) when a tool it needs is missing.
# RINGFIELD_RUNNER, when set, runs the program (wine for ringfield.exe, say).
set -euo pipefail
program=${1:-$(dirname "$0")/../build/ringfield}
# A runner of more than one word (wine, qemu with options) is split on purpose.
# shellcheck disable=SC2206
runner=(${RINGFIELD_RUNNER:-})
width=1280
height=800

for tool in Xvfb openbox xdotool xprop xwininfo xwd od awk; do
    if ! command -v "$tool" >/dev/null; then
        echo "smoke test: SKIPPED: $tool is not on PATH (scripts/setup.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
xvfb_pid=
wm_pid=
program_pid=
cleanup() {
    # SDL turns a plain kill into a quit request, which a program stuck in a frame never reads.
    [ -z "$program_pid" ] || kill -KILL "$program_pid" 2>/dev/null || true
    [ -z "$wm_pid" ] || kill "$wm_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "smoke test: $*" >&2; exit 1; }

# One screenshot of the root window, summarised on one line. The XWD dump has
# a big-endian header and 32-bit pixels in the server's byte order, which
# Xvfb writes least significant byte first. Coloured pixels are those whose
# channels are not all equal (the white pointer trail and grey rings are
# not). The fields:
#   n x0 y0 x1 y1 mx my   coloured pixels: count, bounding box, mean position
#   yellow blue cyan      bright pixels of each colour class (below)
# The classes are chosen so that the two first scenes cannot be confused even
# after the picture passes through a 5-6-5 surface and a smoothing scale:
# scene 0's ring colours all have red >= green, so no sum of them is cyan;
# scene 1's all have green = blue, so no sum of them is yellow or blue.
# Only channels of 24 or more count, far above the rounding of either step.
look() {
    xwd -root -silent -display "$DISPLAY" >"$work/shot.xwd" || fail "xwd could not take a screenshot"
    local header ncolors
    header=$(od -An -tu1 -N4 -j0 "$work/shot.xwd" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    ncolors=$(od -An -tu1 -N4 -j76 "$work/shot.xwd" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    od -An -v -tu4 -w4 -j $((header + ncolors * 12)) "$work/shot.xwd" |
        awk -v w="$width" -v h="$height" '
            BEGIN { x0 = y0 = 1e9; x1 = y1 = -1 }
            { r = int($1 / 65536) % 256; g = int($1 / 256) % 256; b = $1 % 256
              if (r == g && g == b) next
              x = (NR - 1) % w; y = int((NR - 1) / w); n++; sx += x; sy += y
              if (x < x0) x0 = x; if (x > x1) x1 = x; if (y < y0) y0 = y; if (y > y1) y1 = y
              m = r; if (g > m) m = g; if (b > m) m = b
              if (m < 24) next
              if (r >= 24 && 2 * g >= r && 4 * b <= g) yellow++
              else if (4 * r <= b && 4 * g <= b) blue++
              else if (g >= 24 && b >= 24 && 2 * r <= g && 2 * r <= b) cyan++ }
            END { if (n == 0) print 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
                  else printf "%d %d %d %d %d %d %d %d %d %d\n", n, x0, y0, x1, y1, sx / n, sy / n, yellow, blue, cyan + 0 }'
}

# The 4:3 picture at the screen's full height, centred: columns band_left..band_right.
band_width=$((height * 4 / 3))
band_left=$(((width - band_width) / 2))
band_right=$((band_left + band_width - 1))

# The verdict on one summary: "ok", or what is wrong. $2 is "full" when the
# picture must fill the screen's height, $3 the scene whose colours it must show.
# Each `A && B || verdict` below means: the verdict unless both A and B hold.
# shellcheck disable=SC2015
verdict() {
    local n x0 y0 x1 y1 mx my yellow blue cyan
    read -r n x0 y0 x1 y1 mx my yellow blue cyan <<<"$1"
    [ "$n" -gt 1000 ] || { echo "no rings"; return; }
    # Nothing in the bars beside the picture (a column of slack for the scaling's rounding).
    [ "$x0" -ge $((band_left - 1)) ] && [ "$x1" -le $((band_right + 1)) ] || { echo "colour outside the 4:3 picture"; return; }
    # The rings turn about the picture's centre.
    [ $((mx - width / 2)) -ge -80 ] && [ $((mx - width / 2)) -le 80 ] && [ $((my - height / 2)) -ge -80 ] &&
        [ $((my - height / 2)) -le 80 ] || { echo "the rings are not around the centre of the screen"; return; }
    # Scaled to the screen's height, the large rings of the first scene and
    # their trails reach well beyond the 480 rows of the mode.
    [ "$2" != full ] || [ $((y1 - y0)) -ge $((height * 3 / 4)) ] || { echo "the picture does not fill the screen's height"; return; }
    local old new
    case $3 in
    0) new=$((yellow + blue)) old=$cyan ;;
    1) new=$cyan old=$((yellow + blue)) ;;
    *) echo ok; return ;;
    esac
    # The old scene's trails fade within a few dozen frames.
    [ "$new" -ge 300 ] && [ $((old * 50)) -le "$new" ] || { echo "not the colours of scene $3"; return; }
    echo ok
}

# The summary in words.
describe() {
    local n x0 y0 x1 y1 mx my yellow blue cyan
    read -r n x0 y0 x1 y1 mx my yellow blue cyan <<<"$1"
    echo "$n coloured pixels in x $x0..$x1, y $y0..$y1, centred at ($mx, $my); bright yellow $yellow, blue $blue, cyan $cyan"
}

alive() { kill -0 "$program_pid" 2>/dev/null || fail "ringfield ended early: $(cat "$work/err")"; }

# Waits up to $1 seconds for two screenshots in a row to pass (a window
# manager or a frame caught half-way must not decide); fails with the last
# verdict when the deadline passes.
settle() {  # seconds, step name, full|part, scene
    local deadline=$((SECONDS + $1)) summary result passed=0
    while :; do
        alive
        summary=$(look)
        result=$(verdict "$summary" "$3" "$4")
        if [ "$result" = ok ]; then
            passed=$((passed + 1))
            [ "$passed" -lt 2 ] || { echo "smoke test: $2: $(describe "$summary")"; return; }
        else
            passed=0
        fi
        [ "$SECONDS" -lt "$deadline" ] || fail "$2: $result after $1 s: $(describe "$summary")"
        sleep 0.2
    done
}

Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -br -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
deadline=$((SECONDS + 20))
until [ -s "$work/display" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    sleep 0.1
done
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
unset SDL_VIDEODRIVER
# Ready only once openbox runs its start-up command: it claims the screen
# (_NET_SUPPORTING_WM_CHECK) before that, and a window mapped in between can
# stay unmapped for good, with SDL waiting in SDL_SetVideoMode without end.
openbox --sm-disable --startup "touch $work/wm-ready" >"$work/wm.log" 2>&1 &
wm_pid=$!
deadline=$((SECONDS + 20))
until [ -e "$work/wm-ready" ] && xprop -root -display "$DISPLAY" _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window; do
    [ "$SECONDS" -lt "$deadline" ] || fail "openbox did not start: $(cat "$work/wm.log")"
    sleep 0.1
done

# The checker must see nothing on the bare black screen.
read -r seen _ < <(look)
[ "$seen" -eq 0 ] || fail "the empty screen already has coloured pixels"

# In a sanitizer build, the window system's libraries (D-Bus and others that
# SDL loads at run time) keep allocations to the end that LeakSanitizer
# reports; ringfield itself allocates nothing, so leak checking is off here.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "${runner[@]}" "$program" >"$work/out" 2>"$work/err" &
program_pid=$!

# The program's windows, their state, map state and geometry, for a failure message.
windows() {
    local id
    for id in $(xdotool search --pid "$program_pid" 2>/dev/null); do
        echo "window $id: $(xprop -id "$id" _NET_WM_STATE 2>&1), $(xwininfo -id "$id" 2>&1 |
            awk '/Map State/ { m = $3 } /-geometry/ { g = $2 } END { print m, g }')"
    done | paste -sd';' -
}

# The window, mapped, made full screen by the window manager and covering the screen.
deadline=$((SECONDS + 60))
window=
while [ -z "$window" ]; do
    alive
    for id in $(xdotool search --pid "$program_pid" 2>/dev/null); do
        xprop -id "$id" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_FULLSCREEN || continue
        info=$(xwininfo -id "$id" 2>/dev/null) || continue
        grep -q 'Map State: IsViewable' <<<"$info" && grep -q "geometry ${width}x${height}+0+0" <<<"$info" &&
            window=$id
    done
    [ -n "$window" ] || [ "$SECONDS" -lt "$deadline" ] || fail "no full-screen window of ${width}x${height} after 60 s: $(windows)"
    [ -n "$window" ] || sleep 0.2
done

settle 60 "start" full 0

# The pointer to the exact centre (through another point, so that it moves
# even if it starts there): the field stops turning. Then a click: scene 1's
# red, cyan and grey rings replace scene 0's yellow, blue, grey and red.
xdotool mousemove $((width / 2 - 40)) $((height / 2)) mousemove $((width / 2)) $((height / 2))
xdotool click 1
settle 60 "after a click" part 1

# Steering: the pointer off the centre, across and down, moved on while the
# picture settles; it must stay a centred picture inside the 4:3 frame.
xdotool mousemove $((width / 2 + 250)) $((height / 2 - 150)) mousemove $((width / 2 - 200)) $((height / 2 + 100))
settle 60 "after steering" part any

xdotool key a
deadline=$((SECONDS + 30))
while kill -0 "$program_pid" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || fail "ringfield did not end on a key press"
    sleep 0.1
done
status=0
wait "$program_pid" || status=$?
program_pid=
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$work/err")"
[ ! -s "$work/out" ] || fail "ringfield printed on stdout: $(cat "$work/out")"
[ ! -s "$work/err" ] || fail "ringfield printed on stderr: $(cat "$work/err")"
echo "smoke test: rings at full height, a click changed the scene, a key ended ringfield with status 0"

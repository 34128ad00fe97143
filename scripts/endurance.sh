#!/usr/bin/env bash
# Endurance of ringfield in real windows, run by hand (not part of the test
# suite). Each part named runs in turn; with none named, starts, wine, hour
# and page run with their defaults.
#   bash scripts/endurance.sh [starts [N]] [wine [M]] [hour [SECONDS]] [page [SECONDS]] [fps [K]] [--log FILE]
#   starts N      N starts (default 200) of build/ringfield under Xvfb and
#                 openbox, each shown for 1-5 s (random) and ended by a key;
#                 each must end within 10 s of the key with status 0
#   wine M        the same, M times (default 50), for build-windows/ringfield.exe
#                 under wine (bash scripts/windows.sh builds it)
#   hour SECONDS  build/ringfield unthrottled for SECONDS (default 3600), the
#                 pointer moved and clicked now and then; resident memory and
#                 CPU time sampled every minute; ended by a key
#   page SECONDS  docs/ringfield.html in headless Chromium for SECONDS (default
#                 3600): JS heap, WebAssembly memory and the renderer's
#                 resident memory sampled every minute (tests/web/endurance.js)
#   fps K         K times (default 1): a frame-counting build of the desktop
#                 program (build-fps/, frames per second counted by a preloaded
#                 wrapper of SDL_UpdateRect) in a real window while a
#                 sanitizer build runs from scratch beside it (build-sanitize/);
#                 it must keep drawing and end on a key
# Limits: memory within 1 MB (1024 kB) of its value after the first minute,
# CPU time rising every minute. A run that does not end, or stops using CPU,
# has every thread's stack taken with gdb into the log. Every run is niced.
# Prints one summary line per part; exits 1 when any part failed.
# ENDURANCE_PROGRAM, ENDURANCE_EXE and RINGFIELD_PAGE override the programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }

parts=()
declare -A amount=([starts]=200 [wine]=50 [hour]=3600 [page]=3600 [fps]=1)
log=$root/build/endurance.log
while [ $# -gt 0 ]; do
    case $1 in
    -h | --help) usage; exit 0 ;;
    --log) log=${2:?--log needs a file}; shift 2; continue ;;
    starts | wine | hour | page | fps)
        parts+=("$1")
        if [ $# -gt 1 ] && [[ $2 =~ ^[0-9]+$ ]]; then
            [ "$2" -gt 0 ] || { echo "endurance.sh: $1 needs a number above 0, not '$2'" >&2; exit 2; }
            amount[$1]=$2
            shift
        fi
        shift ;;
    *) echo "endurance.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
    esac
done
[ "${#parts[@]}" -gt 0 ] || parts=(starts wine hour page)

program=${ENDURANCE_PROGRAM:-$root/build/ringfield}
exe=${ENDURANCE_EXE:-$root/build-windows/ringfield.exe}
mkdir -p "$(dirname "$log")"
work=$(mktemp -d)
ticks=$(getconf CLK_TCK)
failed=0

xvfb_pid=
wm_pid=
program_pid=
build_pid=
# shellcheck disable=SC2317  # run by the trap
cleanup() {
    # SDL turns a plain kill into a quit request, which a stuck program never reads.
    [ -z "$program_pid" ] || kill -KILL "$program_pid" 2>/dev/null || true
    [ -z "$build_pid" ] || kill -- "-$build_pid" 2>/dev/null || true
    stop_display
    [ -z "${WINEPREFIX:-}" ] || bash tests/wine.sh stop "$(command -v wine)" || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say() { echo "$*" | tee -a "$log"; }
note() { echo "$*" >>"$log"; }
now_ms() { date +%s%3N; }

need() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { say "endurance.sh: $tool is not on PATH (scripts/setup.sh installs it)"; exit 1; }
    done
}

# An Xvfb screen with openbox on it, as the smoke test has; DISPLAY set.
start_display() {
    need Xvfb openbox xdotool xprop xwininfo
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -br -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    local deadline=$((SECONDS + 30))
    until [ -s "$work/display" ]; do
        [ "$SECONDS" -lt "$deadline" ] || { say "Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
        sleep 0.1
    done
    DISPLAY=":$(head -n1 "$work/display")"
    export DISPLAY
    unset SDL_VIDEODRIVER
    openbox --sm-disable >"$work/wm.log" 2>&1 &
    wm_pid=$!
    deadline=$((SECONDS + 30))
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window; do
        [ "$SECONDS" -lt "$deadline" ] || { say "openbox did not start: $(cat "$work/wm.log")"; exit 1; }
        sleep 0.1
    done
}

stop_display() {
    [ -z "$wm_pid" ] || kill "$wm_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    [ -z "$wm_pid" ] || wait "$wm_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || wait "$xvfb_pid" 2>/dev/null || true
    wm_pid='' xvfb_pid=''
}

# Every thread's stack of a process, into the log.
stacks() {  # pid, why
    say "stacks of process $1 ($2): see $log"
    if ! command -v gdb >/dev/null; then
        note "gdb is not on PATH (apt-get install gdb); no stacks"
        return
    fi
    {
        echo "---- $2: process $1, $(tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null), state $(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)"
        # Where each thread sleeps in the kernel, and whether the X server
        # and window manager still run: a thread stuck at zero CPU waits on one.
        local task
        for task in /proc/"$1"/task/*; do
            echo "thread ${task##*/} $(cat "$task/comm" 2>/dev/null): state $(sed 's/.*) //' "$task/stat" 2>/dev/null | cut -d' ' -f1), waiting in $(cat "$task/wchan" 2>/dev/null)"
        done
        echo "Xvfb ${xvfb_pid:-none}: state $(sed 's/.*) //' "/proc/${xvfb_pid:-0}/stat" 2>/dev/null | cut -d' ' -f1), openbox ${wm_pid:-none}: state $(sed 's/.*) //' "/proc/${wm_pid:-0}/stat" 2>/dev/null | cut -d' ' -f1)"
        timeout 120 gdb -batch -ex 'info threads' -ex 'thread apply all bt' -p "$1" 2>&1 | grep -v '^\[New LWP' || true
        echo "---- end of stacks of $1"
    } >>"$log"
}

# Resident memory in kB, and CPU time in clock ticks (user + system).
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{ print $12 + $13 }' || echo 0; }

alive() { kill -0 "$1" 2>/dev/null; }

# The first viewable window of a process, waited for up to $2 seconds; empty
# when there is none by then or the process ended.
window_of() {  # pid, seconds
    local deadline=$((SECONDS + $2)) id
    while alive "$1" && [ "$SECONDS" -lt "$deadline" ]; do
        for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
            xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && { echo "$id"; return; }
        done
        sleep 0.1
    done
}

# Presses a key on the window and waits up to 10 s for the process to end.
# Sets $took to the milliseconds it took and $end_status to its exit status.
# Past 10 s its stacks are taken, and it gets 30 s more to tell a slow end
# from a hang: $took is then "late" (ended, in $late ms) or "hung" (killed,
# $end_status "killed"). Not to be run in a subshell: the process is this
# shell's child.
took=
late=
end_status=
ended_words() {
    case $took in
    hung) echo "NOT ended 40 s after the key, killed" ;;
    late) echo "ended only $late ms after the key (over 10 s), status $end_status" ;;
    *) echo "ended $took ms after the key, status $end_status" ;;
    esac
}
end_on_key() {  # pid, window, run name
    local pid=$1 pressed deadline
    xdotool windowactivate --sync "$2" >/dev/null 2>&1 || true
    pressed=$(now_ms)
    xdotool key a
    deadline=$((pressed + 10000))
    while alive "$pid" && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.05; done
    took=$(($(now_ms) - pressed))
    if alive "$pid"; then
        stacks "$pid" "$3: still running 10 s after the key"
        deadline=$((pressed + 40000))
        while alive "$pid" && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.05; done
        late=$(($(now_ms) - pressed)) took=late
        if alive "$pid"; then
            kill -KILL "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
            end_status=killed took=hung
            return
        fi
    fi
    end_status=0
    wait "$pid" || end_status=$?
}

# N starts of a program, each shown 1-5 s and ended by a key.
starts() {  # part name, count, program and its runner...
    local name=$1 count=$2 ok=0 bad=0 run id shown max=0 total=0 failures=()
    shift 2
    start_display
    for run in $(seq 1 "$count"); do
        nice -n 10 "$@" >"$work/out" 2>"$work/err" &
        program_pid=$!
        id=$(window_of "$program_pid" 60)
        if [ -z "$id" ]; then
            if alive "$program_pid"; then
                stacks "$program_pid" "$name run $run: no window after 60 s"
                kill -KILL "$program_pid" 2>/dev/null || true
            fi
            wait "$program_pid" 2>/dev/null || true
            program_pid=
            bad=$((bad + 1)) failures+=("$run")
            say "$name run $run: FAILED: no window ($(head -c 300 "$work/err"))"
            continue
        fi
        shown=$((RANDOM % 4001 + 1000))
        sleep "$((shown / 1000)).$(printf '%03d' $((shown % 1000)))"
        end_on_key "$program_pid" "$id" "$name run $run"
        program_pid=
        if [ "$took" = hung ] || [ "$took" = late ] || [ "$end_status" != 0 ]; then
            bad=$((bad + 1)) failures+=("$run")
            say "$name run $run: FAILED: shown $shown ms; $(ended_words); $(head -c 300 "$work/err")"
            [ "$took" != late ] || [ "$late" -le "$max" ] || max=$late
        else
            ok=$((ok + 1)) total=$((total + took))
            [ "$took" -le "$max" ] || max=$took
            note "$name run $run: shown $shown ms, ended $took ms after the key, status 0"
        fi
    done
    stop_display
    local mean=0
    [ "$ok" -eq 0 ] || mean=$((total / ok))
    say "SUMMARY $name: $count starts, $ok ok, $bad failed${failures[*]:+ (runs ${failures[*]})}; end after the key: max $max ms (of every run that ended), mean $mean ms (of those ok)"
    [ "$bad" -eq 0 ] || failed=1
}

# Memory within 1 MB of the first minute's, CPU time rising at every sample.
# Reads "minute rss_kb cpu_ticks" lines; prints the summary's figures and
# returns 1 when a limit is broken.
judge() {  # samples file
    awk -v hz="$ticks" '
        NR == 1 { first = $2; min = max = $2; last_cpu = $3; stalls = 0; bad = 0 }
        { rss[NR] = $2 }
        NR > 1 { if ($2 > max) max = $2; if ($2 < min) min = $2
                 if ($2 - first > 1024 || first - $2 > 1024) bad = 1
                 if ($3 <= last_cpu) stalls++; last_cpu = $3 }
        { last = $2; cpu = $3 }
        END { if (NR == 0) { print "no samples"; exit 1 }
              # The second half alone, to tell a start that settles from a steady climb.
              hmin = hmax = rss[NR]
              for (i = int(NR / 2) + 1; i <= NR; i++) { if (rss[i] < hmin) hmin = rss[i]; if (rss[i] > hmax) hmax = rss[i] }
              printf "RSS first %d kB, last %d kB, min %d kB, max %d kB, second half %d..%d kB (%s %d..%d); CPU %.1f s, %s over %d samples\n",
                     first, last, min, max, hmin, hmax, bad ? "OUTSIDE the limit" : "limit", first - 1024, first + 1024, cpu / hz,
                     stalls ? stalls " stalled minutes" : "rising every minute", NR
              exit (bad || stalls) ? 1 : 0 }' "$1"
}

# The desktop program unthrottled for a while, steered and clicked now and
# then, sampled every minute from the end of the first.
hour() {  # seconds
    local seconds=$1 id start next_sample next_move minute=0 cpu last_cpu=-1 verdict ok=yes
    local samples="$work/hour.samples"
    : >"$samples"
    start_display
    nice -n 10 "$program" >"$work/out" 2>"$work/err" &
    program_pid=$!
    id=$(window_of "$program_pid" 60)
    [ -n "$id" ] || { say "SUMMARY hour: FAILED: no window ($(head -c 300 "$work/err"))"; failed=1; stop_display; return; }
    start=$SECONDS next_sample=$((SECONDS + 60)) next_move=$SECONDS
    while [ "$SECONDS" -lt $((start + seconds)) ]; do
        if ! alive "$program_pid"; then
            wait "$program_pid" || true
            program_pid=
            say "SUMMARY hour: FAILED: ended by itself after $((SECONDS - start)) s ($(head -c 300 "$work/err"))"
            failed=1
            stop_display
            return
        fi
        if [ "$SECONDS" -ge "$next_move" ]; then
            xdotool mousemove $((RANDOM % 1280)) $((RANDOM % 800))
            [ $((RANDOM % 4)) -ne 0 ] || xdotool click 1
            next_move=$((SECONDS + 2 + RANDOM % 9))
        fi
        if [ "$SECONDS" -ge "$next_sample" ]; then
            minute=$((minute + 1))
            cpu=$(cpu_ticks "$program_pid")
            echo "$minute $(rss_kb "$program_pid") $cpu" >>"$samples"
            note "hour minute $minute: RSS $(rss_kb "$program_pid") kB, CPU $cpu ticks"
            [ "$cpu" -gt "$last_cpu" ] || stacks "$program_pid" "hour minute $minute: no CPU time used for a minute"
            last_cpu=$cpu next_sample=$((next_sample + 60))
        fi
        sleep 0.5
    done
    end_on_key "$program_pid" "$id" hour
    program_pid=
    stop_display
    verdict=$(judge "$samples") || ok=no
    [[ $took =~ ^[0-9]+$ ]] && [ "$end_status" = 0 ] || ok=no
    say "SUMMARY hour: $([ "$ok" = yes ] && echo ok || echo FAILED): $seconds s unthrottled; $verdict; $(ended_words)"
    [ "$ok" = yes ] || failed=1
}

page() {  # seconds
    need node
    local status=0
    nice -n 10 node tests/web/endurance.js "$1" >"$work/page.out" 2>&1 || status=$?
    cat "$work/page.out" >>"$log"
    grep '^SUMMARY' "$work/page.out" || say "SUMMARY page: FAILED: $(tail -n 5 "$work/page.out")"
    [ "$status" -eq 0 ] || failed=1
}

# A wrapper of SDL_UpdateRect, preloaded, that counts the frames shown and
# writes the frames of every second into ENDURANCE_FPS_LOG.
fps_counter() {
    cat >"$work/fps.c" <<'EOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
typedef void (*update_rect)(void*, int, int, unsigned, unsigned);
void SDL_UpdateRect(void* screen, int x, int y, unsigned w, unsigned h) {
    static update_rect real;
    static FILE* out;
    static long frames;
    static time_t second;
    if (!real) {
        real = (update_rect)dlsym(RTLD_NEXT, "SDL_UpdateRect");
        const char* name = getenv("ENDURANCE_FPS_LOG");
        out = name ? fopen(name, "w") : stderr;
        second = time(NULL);
    }
    real(screen, x, y, w, h);
    ++frames;
    time_t now = time(NULL);
    if (now != second) {
        fprintf(out, "%ld %ld\n", (long)now, frames);
        fflush(out);
        frames = 0;
        second = now;
    }
}
EOF
    cc -O2 -shared -fPIC -o "$work/fps.so" "$work/fps.c" -ldl
}

# The frame-counting program in a window while a sanitizer build runs from
# scratch beside it; sampled every 10 s while the build runs.
fps() {  # repetitions
    local rep id start cpu last_cpu still built status fps_figures ok bad=0
    need cc cmake gdb
    say "fps: building build-fps/ (Release) and the frame counter"
    if ! { nice -n 10 cmake -S . -B build-fps -DCMAKE_BUILD_TYPE=Release -DRINGFIELD_BENCH=OFF &&
        nice -n 10 cmake --build build-fps --target ringfield -j2; } >"$work/fps-build.log" 2>&1; then
        say "SUMMARY fps: FAILED: build-fps did not build: $(tail -n 5 "$work/fps-build.log")"
        failed=1
        return
    fi
    fps_counter
    start_display
    for rep in $(seq 1 "$1"); do
        ok=yes
        rm -rf build-sanitize
        : >"$work/fps.log"
        ENDURANCE_FPS_LOG=$work/fps.log LD_PRELOAD=$work/fps.so nice -n 10 build-fps/ringfield >"$work/out" 2>"$work/err" &
        program_pid=$!
        id=$(window_of "$program_pid" 60)
        [ -n "$id" ] || { say "fps $rep: FAILED: no window ($(head -c 300 "$work/err"))"; bad=$((bad + 1)); kill -KILL "$program_pid" 2>/dev/null || true; program_pid=; continue; }
        start=$SECONDS
        setsid bash -c 'nice -n 10 cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DRINGFIELD_SANITIZE=ON &&
            nice -n 10 cmake --build build-sanitize -j2' >"$work/sanitize.log" 2>&1 &
        build_pid=$!
        last_cpu=$(cpu_ticks "$program_pid") still=0
        while alive "$build_pid"; do
            sleep 10
            alive "$program_pid" || break
            xdotool mousemove $((RANDOM % 1280)) $((RANDOM % 800))
            [ $((RANDOM % 3)) -ne 0 ] || xdotool click 1
            cpu=$(cpu_ticks "$program_pid")
            note "fps $rep at $((SECONDS - start)) s: CPU $cpu ticks, RSS $(rss_kb "$program_pid") kB, last second $(tail -n1 "$work/fps.log" | awk '{print $2}') frames"
            if [ "$cpu" -le "$last_cpu" ]; then
                still=$((still + 1))
                [ "$still" -ne 3 ] || { stacks "$program_pid" "fps $rep: no CPU time for 30 s beside the sanitizer build"; ok=no; }
            else
                still=0
            fi
            last_cpu=$cpu
        done
        built=$((SECONDS - start))
        status=0
        wait "$build_pid" || status=$?
        build_pid=
        note "fps $rep: the sanitizer build's last lines: $(tail -n 2 "$work/sanitize.log" | paste -sd'|' -)"
        if ! alive "$program_pid"; then
            wait "$program_pid" || true
            program_pid=
            say "fps $rep: FAILED: the program ended by itself ($(head -c 300 "$work/err"))"
            bad=$((bad + 1))
            continue
        fi
        end_on_key "$program_pid" "$id" "fps $rep"
        program_pid=
        [[ $took =~ ^[0-9]+$ ]] && [ "$end_status" = 0 ] || ok=no
        fps_figures=$(awk '{ print $2 }' "$work/fps.log" | sort -n | awk '{ v[++n] = $1 }
            END { if (n == 0) print "no frames counted"
                  else printf "frames per second min %d, median %d, max %d over %d s", v[1], v[int((n + 1) / 2)], v[n], n }')
        say "fps $rep: $([ "$ok" = yes ] && echo ok || echo FAILED): sanitizer build $([ "$status" -eq 0 ] && echo built || echo "FAILED ($status)") in $built s beside it; $fps_figures; $(ended_words)"
        [ "$ok" = yes ] || bad=$((bad + 1))
    done
    stop_display
    say "SUMMARY fps: $1 runs beside a sanitizer build, $(($1 - bad)) ok, $bad failed"
    [ "$bad" -eq 0 ] || failed=1
}

say "endurance.sh $(date -u '+%F %T') UTC: ${parts[*]}; log $log"
for part in "${parts[@]}"; do
    case $part in
    starts)
        [ -x "$program" ] || { say "SUMMARY starts: FAILED: no $program (build it first)"; failed=1; continue; }
        starts starts "${amount[starts]}" "$program" ;;
    wine)
        [ -f "$exe" ] || { say "SUMMARY wine: FAILED: no $exe (bash scripts/windows.sh builds it)"; failed=1; continue; }
        need wine
        export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/wine} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
        bash tests/wine.sh start "$(command -v wine)"
        starts wine "${amount[wine]}" wine "$exe" ;;
    hour)
        [ -x "$program" ] || { say "SUMMARY hour: FAILED: no $program (build it first)"; failed=1; continue; }
        hour "${amount[hour]}" ;;
    page) page "${amount[page]}" ;;
    fps) fps "${amount[fps]}" ;;
    esac
done
exit "$failed"

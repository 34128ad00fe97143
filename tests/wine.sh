#!/usr/bin/env bash
# Starts or stops wine for the Windows build's tests, in WINEPREFIX (created
# on first use). Started here, wine's server and background services inherit
# no output of CTest's: when a test starts them, they hold its output open
# and CTest waits for them for ever.
#   bash tests/wine.sh start|stop path/to/wine64
#   bash tests/wine.sh run path/to/wine64 program.exe [arguments]
set -euo pipefail
action=$1
loader=$2
server=$(dirname "$loader")/wineserver
: "${WINEPREFIX:?set WINEPREFIX to the prefix folder}"

# The pids of this prefix's desktop processes (explorer.exe /desktop). The
# graphics driver of a desktop is the one its process loaded, for every
# program that joins it later.
desktops() {
    local pid
    for pid in $(pgrep -f 'explorer\.exe /desktop' || true); do
        # Silenced before the read: the process may have ended since pgrep saw it.
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done
    return 0
}

# Waits until the prefix has no desktop left.
no_desktop() {
    local deadline=$((SECONDS + 60))
    while [ -n "$(desktops)" ]; do
        [ "$SECONDS" -lt "$deadline" ] ||
            { echo "wine.sh: wine's desktop (pids $(desktops | paste -sd' ' -)) did not close in 60 s"; exit 1; }
        sleep 0.1
    done
}

case $action in
start)
    # A server that stays up between the tests (one already up for this
    # prefix refuses a second, and serves), then the prefix's set-up.
    mkdir -p "$WINEPREFIX"
    "$server" -p </dev/null >/dev/null 2>&1 || true
    "$loader" wineboot --init </dev/null >"$WINEPREFIX.boot.log" 2>&1 ||
        { echo "wine.sh: wineboot failed:"; cat "$WINEPREFIX.boot.log"; exit 1; }
    # Where X cannot be opened, a desktop gets the null driver, in which
    # windows exist but show nothing (the window tests' own desktop), rather
    # than no driver at all, in which no window can be made.
    "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11,null /f </dev/null >>"$WINEPREFIX.boot.log" 2>&1 ||
        { echo "wine.sh: cannot choose the graphics drivers:"; cat "$WINEPREFIX.boot.log"; exit 1; }
    # wineboot made the default desktop here, with no display; a program
    # that joined it would find no X server. It closes a moment after its
    # last program ends; the next program to want it (the smoke test's)
    # then makes it anew under its own display.
    no_desktop
    ;;
run)
    # A test program that makes windows, on a desktop of its own with no
    # display (the null driver's), gone again before the next window test
    # (they hold a lock on wine's desktop), so that neither joins the
    # other's: one under a display that has gone, one under none.
    shift 2
    no_desktop
    status=0
    env -u DISPLAY "$loader" "$@" || status=$?
    no_desktop
    exit "$status"
    ;;
stop)
    "$server" -k </dev/null >/dev/null 2>&1 || true
    # The server's folder outlives it: ${TMPDIR:-/tmp}/wine-XXXXXX/server-DEV-INODE, named after the prefix. Once
    # the server has gone, this prefix's goes too, and the folder above it if nothing else is left in it, so that
    # test runs leave nothing behind and another prefix's server keeps its own.
    timeout 30 "$server" -w </dev/null >/dev/null 2>&1 || true
    id=server-$(stat -c %D "$WINEPREFIX")-$(printf %x "$(stat -c %i "$WINEPREFIX")")
    for dir in "${TMPDIR:-/tmp}"/wine-*/"$id"; do
        [ -d "$dir" ] || continue
        rm -rf "$dir"
        rmdir "$(dirname "$dir")" 2>/dev/null || true
    done
    ;;
*)
    echo "wine.sh: start or stop, not '$action'" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# Starts or stops wine for the Windows build's tests, in WINEPREFIX (created
# on first use). Started here, wine's server and background services inherit
# no output of CTest's: when a test starts them, they hold its output open
# and CTest waits for them for ever.
#   bash tests/wine.sh start|stop path/to/wine64
set -euo pipefail
action=$1
loader=$2
server=$(dirname "$loader")/wineserver
: "${WINEPREFIX:?set WINEPREFIX to the prefix folder}"
case $action in
start)
    # A server that stays up between the tests (one already up for this
    # prefix refuses a second, and serves), then the prefix's set-up.
    mkdir -p "$WINEPREFIX"
    "$server" -p </dev/null >/dev/null 2>&1 || true
    "$loader" wineboot --init </dev/null >"$WINEPREFIX.boot.log" 2>&1 ||
        { echo "wine.sh: wineboot failed:"; cat "$WINEPREFIX.boot.log"; exit 1; }
    ;;
stop)
    "$server" -k </dev/null >/dev/null 2>&1 || true
    ;;
*)
    echo "wine.sh: start or stop, not '$action'" >&2
    exit 2
    ;;
esac

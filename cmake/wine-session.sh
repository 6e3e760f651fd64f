#!/usr/bin/env bash
# One Wine session for a run of a build tree's tests:
#   wine-session.sh start BUILD_DIR    makes the prefix if needed and starts its wineserver
#   wine-session.sh stop BUILD_DIR     ends the wineserver, every program it serves and the display
# The server started here stays up until the stop, however long no program runs: with a server
# that ends when its last program does, a program started at that moment can find the server gone
# and fail to start, and every test would pay again for starting Wine's services. CTest runs the
# two as the set-up and clean-up of every Windows test. Where no display is set, the session
# starts a private Xvfb that the tests of the run share.
set -euo pipefail
action=$1
mkdir -p "$2"
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"
export WINEDEBUG=-all
export WINEPREFIX
session=$build/wine/session

stop() {
    if [ -f "$build/wine/prefix/.linkmend-ready" ]; then
        WINEPREFIX=$build/wine/prefix linkmend_stop_server
    fi
    if [ -f "$session" ]; then
        local pid
        read -r _ pid <"$session"
        if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
        rm -f "$session"
    fi
}

case "$action" in
start)
    stop # what an interrupted run left behind
    # An i686 tree's programs cannot run here at all: no prefix is made for them.
    if [ "${LINKMEND_WINE_MACHINE:-}" = i686 ] && reason=$(linkmend_no_32bit_reason) &&
        [ -n "$reason" ]; then
        echo "skipped: the tree's programs are 32-bit and $reason"
        exit 77
    fi
    WINEPREFIX=$(linkmend_wine_prefix "$build")
    if [ -z "${DISPLAY:-}" ]; then
        linkmend_start_xvfb
        echo "$DISPLAY $LINKMEND_XVFB_PID" >"$session"
    fi
    linkmend_start_server
    echo "Wine session: prefix $WINEPREFIX, display ${DISPLAY}"
    ;;
stop) stop ;;
*) echo "usage: wine-session.sh start|stop BUILD_DIR" >&2; exit 2 ;;
esac

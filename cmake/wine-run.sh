#!/usr/bin/env bash
# Runs a Windows program under Wine for the build tree given first:
#   wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
# The build tree owns one Wine prefix (made on first use, then reused), served during a test run
# by the session's wineserver (wine-session.sh), and a still copy of it for throwaway prefixes. WINEDEBUG is quiet; without a display the
# session's display is used, or an Xvfb for this run. LINKMEND_WINVER (win2k, winxp, win2003,
# vista, win7, win10) runs the program in a throwaway copy of the prefix that reports that
# Windows version; LINKMEND_FRESH_PREFIX=1 asks for a throwaway copy without changing the version.
# LINKMEND_PREFIX_SETUP names a script run against the throwaway prefix before the program (with
# WINEPREFIX exported), so a test can prepare the registry or files it needs.
# A 32-bit program on a machine that cannot run 32-bit code exits with 77 (skipped), saying so.
set -euo pipefail
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"
linkmend_skip_unless_runnable "$1"

export WINEDEBUG=-all
export WINEPREFIX
WINEPREFIX=$(linkmend_wine_prefix "$build")

cleanup=()
finish() {
    local rc=$?
    for step in "${cleanup[@]}"; do eval "$step" || true; done
    exit $rc
}
trap finish EXIT

linkmend_use_display "$build"
if [ -n "${LINKMEND_XVFB_PID:-}" ]; then
    cleanup+=("kill $LINKMEND_XVFB_PID 2>/dev/null; wait $LINKMEND_XVFB_PID 2>/dev/null")
fi

if [ -n "${LINKMEND_WINVER:-}" ] || [ "${LINKMEND_FRESH_PREFIX:-0}" = 1 ] ||
    [ -n "${LINKMEND_PREFIX_SETUP:-}" ]; then
    private=$(mktemp -d "$build/wine/run.XXXXXX")
    linkmend_copy_prefix "$build/wine/template" "$private"
    WINEPREFIX=$private
    cleanup=("WINEPREFIX=$private linkmend_stop_server; rm -rf '$private'" "${cleanup[@]}")
    if [ -n "${LINKMEND_WINVER:-}" ]; then linkmend_set_winver "$LINKMEND_WINVER"; fi
    if [ -n "${LINKMEND_PREFIX_SETUP:-}" ]; then bash "$LINKMEND_PREFIX_SETUP"; fi
    linkmend_start_server
fi

# Wine's own words when it could not start a program at all (the program never ran): only such
# a start is tried once more, and the log says so. What the program says still goes straight on.
not_started='^(Application could not be started|wine client error|wine: could not load kernel32)'
said=$(mktemp "$build/wine/said.XXXXXX")
cleanup+=("rm -f '$said'")
# The reason, once the copy of what the failed start said has caught up (within a second).
start_failure() {
    for _ in $(seq 1 20); do
        grep -m1 -E "$not_started" "$said" | tr -d '\r' && return 0
        sleep 0.05
    done
    return 1
}
for attempt in 1 2; do
    : >"$said"
    set +e
    linkmend_wine "$@" > >(tee -a "$said") 2> >(tee -a "$said" >&2)
    rc=$?
    set -e
    [ "$rc" -ne 0 ] || break
    why=$(start_failure) || break
    echo "Wine could not start $(basename "$1"): $why"
    [ "$attempt" = 1 ] && echo "Starting $(basename "$1") once more."
done
exit $rc

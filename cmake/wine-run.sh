#!/usr/bin/env bash
# Runs a Windows program under Wine for the build tree given first:
#   wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
# The build tree owns one Wine prefix (made on first use, then reused). WINEDEBUG is quiet, and
# an Xvfb display is started for this run when none is set. LINKMEND_WINVER (win2k, winxp,
# win2003, vista, win7) runs the program in a throwaway copy of the prefix that reports that
# Windows version; LINKMEND_FRESH_PREFIX=1 asks for a throwaway copy without changing the version.
# LINKMEND_PREFIX_SETUP names a script run against the throwaway prefix before the program (with
# WINEPREFIX exported), so a test can prepare the registry or files it needs.
set -euo pipefail
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"

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

if [ -z "${DISPLAY:-}" ]; then
    linkmend_start_xvfb
    cleanup+=("kill $LINKMEND_XVFB_PID 2>/dev/null; wait $LINKMEND_XVFB_PID 2>/dev/null")
fi

if [ -n "${LINKMEND_WINVER:-}" ] || [ "${LINKMEND_FRESH_PREFIX:-0}" = 1 ] ||
    [ -n "${LINKMEND_PREFIX_SETUP:-}" ]; then
    private=$(mktemp -d "$build/wine/run.XXXXXX")
    cp -a "$WINEPREFIX/." "$private/"
    WINEPREFIX=$private
    cleanup=("WINEPREFIX=$private wineserver -k 2>/dev/null; rm -rf '$private'" "${cleanup[@]}")
    if [ -n "${LINKMEND_WINVER:-}" ]; then linkmend_set_winver "$LINKMEND_WINVER"; fi
    if [ -n "${LINKMEND_PREFIX_SETUP:-}" ]; then bash "$LINKMEND_PREFIX_SETUP"; fi
fi

set +e
wine "$@"
rc=$?
set -e
exit $rc

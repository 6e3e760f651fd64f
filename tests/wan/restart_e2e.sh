#!/usr/bin/env bash
# The real restart: linkmend.exe, driven by restart_driver.exe, answers "Yes" to the restart
# question in a throwaway Wine prefix of its own. Wine carries out a forced reboot request by
# ending every program of the prefix at once and then running the start-up work of a new boot
# (the RunOnce entries among it); a shut-down without reboot would stop before that. The
# program's calls are traced by Wine's relay channel, which shows ExitWindowsEx's flags and
# reason as passed.
#   restart_e2e.sh BUILD_DIR restart_driver.exe
# shellcheck disable=SC2016  # each check is a command string, evaluated by check()
set -euo pipefail
build=$(cd "$1" && pwd)
driver=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../cmake/wine-env.sh
source "$here/../../cmake/wine-env.sh"
linkmend_skip_unless_runnable "$driver"

export WINEDEBUG=-all
base=$(linkmend_wine_prefix "$build")
export WINEPREFIX
WINEPREFIX=$(mktemp -d "$build/wine/restart.XXXXXX")
work=$(mktemp -d) # the driver's steps and the trace; LINKMEND_KEEP_WORK=1 keeps them
finish() {
    local rc=$?
    linkmend_stop_server
    rm -rf "$WINEPREFIX"
    [ -n "${LINKMEND_KEEP_WORK:-}" ] || rm -rf "$work"
    if [ -n "${LINKMEND_XVFB_PID:-}" ]; then kill "$LINKMEND_XVFB_PID" 2>/dev/null || true; fi
    exit $rc
}
trap finish EXIT
linkmend_copy_prefix "$(dirname "$base")/template" "$WINEPREFIX"
linkmend_use_display "$build"

marker="$WINEPREFIX/drive_c/linkmend-restarted.txt"
linkmend_wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce' /v linkmend-test \
    /d 'cmd /c echo restarted > C:\linkmend-restarted.txt' /f >/dev/null 2>&1
linkmend_wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude \
    /d 'LookupPrivilegeValueW;AdjustTokenPrivileges;ExitWindowsEx' /f >/dev/null 2>&1
wineserver -w

# The driver is ended by the restart, so its exit status says nothing. Every process of the run
# is traced, with its process id on each line; RelayInclude limits the trace to three calls.
WINEDEBUG=+pid,+relay linkmend_wine "$driver" 2>"$work/trace.txt" | tr -d '\r' >"$work/steps.txt" || true
pid=$(sed -n 's/^linkmend //p' "$work/steps.txt")
grep -i "^${pid:-none}:" "$work/trace.txt" >"$work/linkmend.txt" || true
for _ in $(seq 1 300); do
    [ -f "$marker" ] && break
    sleep 0.1
done

failures=0
check() {
    if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
steps() { grep -qx "$1" "$work/steps.txt"; }
check "the shutdown privilege starts disabled" 'steps "privilege disabled"'
check "the count was applied" 'steps "applied 3"'
check "the restart question was answered Yes" 'steps "answered yes"'
check "the program enabled the shutdown privilege" 'steps "privilege enabled"'
check "the restart ended the driver within 20 s" 'steps "privilege enabled" && ! steps "no restart"'
# The program's calls in order: the privilege looked up, the adjustment accepted, then the
# request with its flags (EWX_REBOOT | EWX_FORCE) and reason (planned operating system
# maintenance), accepted.
calls=$(sed -nE \
    -e 's/.*Call [a-z0-9]+\.LookupPrivilegeValueW\(0+,[0-9a-f]+ L"([A-Za-z]+)".*/lookup \1/p' \
    -e 's/.*Ret  [a-z0-9]+\.AdjustTokenPrivileges\(\) retval=0*([0-9a-f]+) .*/adjusted \1/p' \
    -e 's/.*Call user32\.ExitWindowsEx\(0*([0-9a-f]+),0*([0-9a-f]+)\).*/exit \1 \2/p' \
    -e 's/.*Ret  user32\.ExitWindowsEx\(\) retval=0*([0-9a-f]+) .*/accepted \1/p' \
    "$work/linkmend.txt" | tr '\n' ' ')
check "the program's calls: privilege, adjustment, forced reboot request (${calls:-none})" \
    '[ "$calls" = "lookup SeShutdownPrivilege adjusted 1 exit 6 80020001 accepted 1 " ]'
check "the prefix was rebooted: its RunOnce entry ran" '[ -f "$marker" ]'
check "the count 3 was written before the restart" \
    'linkmend_wine reg query "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\0001" /v WanEndpoints 2>/dev/null | grep -q "0x3"'
if [ $failures -ne 0 ]; then
    echo "--- driver"; cat "$work/steps.txt"
    echo "--- trace of linkmend.exe ($pid)"; head -20 "$work/linkmend.txt"
    if [ -n "${LINKMEND_KEEP_WORK:-}" ]; then echo "kept: $work"; fi
    exit 1
fi

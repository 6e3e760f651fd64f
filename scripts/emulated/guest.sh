#!/bin/bash
# Runs inside the emulated i686 test machine, started by its first process from the work disk
# (/mnt/work), which scripts/test-emulated.sh laid out: the checkout and the shared test data under
# tree/ at the paths they have on the host, and config naming them. Runs the i686 tree's tests and
# the main command's check as the test command does, writes their logs to results/ on the same
# disk and prints its progress on the console, each line starting "guest:" or with spaces.
set -u
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 TERM=dumb
work=/mnt/work
results=$work/results
mkdir -p "$results"
echo "guest: booted in $(cut -d' ' -f1 /proc/uptime) s"

mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
hostname linkmend-guest
# shellcheck source=/dev/null
source "$work/config"
: "${checkout:?} ${shared:?} ${selection[*]-}" # all written by test-emulated.sh
for path in "$checkout" "$shared"; do
    mkdir -p "$path"
    mount --bind "$work/tree$path" "$path"
done
cd "$checkout" || exit 1
source cmake/wine-env.sh
log_dir=$results
source scripts/test-lib.sh

linkmend_start_xvfb || exit 1

t0=$(date +%s)
echo "guest: making the Wine prefix"
linkmend_wine_prefix build/win32 >"$results/win32-prefix.log" 2>&1
echo "guest: prefix made in $(($(date +%s) - t0)) s"
echo "$(($(date +%s) - t0))" >"$results/prefix-seconds"

t0=$(date +%s)
echo "guest: win32 tests"
test_preset win32 "${selection[@]}"
echo "$(($(date +%s) - t0))" >"$results/win32-seconds"
kill "$LINKMEND_XVFB_PID" 2>/dev/null
unset DISPLAY

# The main command, run as the test command's check runs it, on the tree built on the host; not
# when only some tests were asked for.
check=scripts/test.d/40-main-command.sh
if [ ${#selection[@]} -eq 0 ]; then
    echo "guest: $(basename "$check")"
    t0=$(date +%s)
    LINKMEND_BUILT=1 "$check" >"$results/$(basename "$check").log" 2>&1
    echo "$? $(($(date +%s) - t0))" >"$results/$(basename "$check").status"
fi
echo "guest: done"
date +%s >"$results/finished"

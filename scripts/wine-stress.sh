#!/usr/bin/env bash
# Runs the Windows test suites under Wine again and again, each run from a new prefix as a clean
# checkout does, and counts the runs that failed:
#   scripts/wine-stress.sh [--busy] [RUNS [PRESET...]]     (default: 10 runs of win32 and win64)
# --busy keeps one core busy meanwhile, as other work on a CI machine would. Ends with
# "N runs, K failures" and the failing tests with how often each failed; the logs of failed runs
# stay in build/logs/stress/. Not part of the test command: it takes about N times its Wine part.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit
source cmake/wine-env.sh

busy=0
if [ "${1:-}" = --busy ]; then
    busy=1
    shift
fi
runs=${1:-10}
if ! [[ "$runs" =~ ^[1-9][0-9]{0,2}$ ]]; then
    echo "wine-stress.sh: RUNS must be a whole number from 1 to 999, not '$runs'" >&2
    exit 2
fi
shift $(($# > 0 ? 1 : 0))
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(win32 win64)

scripts/setup.sh >/dev/null || exit 1
logs=$root/build/logs/stress
mkdir -p "$logs"
pids=()
stop_all() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done; }
trap stop_all EXIT
if [ -z "${DISPLAY:-}" ]; then
    linkmend_start_xvfb || exit 1
    pids+=("$LINKMEND_XVFB_PID")
fi
if [ "$busy" = 1 ]; then
    (while :; do :; done) &
    pids+=($!)
    echo "one core kept busy meanwhile"
fi

total=0
failures=0
declare -A failed_tests
for preset in "${presets[@]}"; do
    if [ "$preset" = win32 ] && reason=$(linkmend_no_32bit_reason) && [ -n "$reason" ]; then
        echo "$preset: not run: $reason"
        continue
    fi
    if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2 >/dev/null; }; then
        echo "$preset: the build failed"
        exit 1
    fi
    for run in $(seq 1 "$runs"); do
        rm -rf "build/$preset/wine"
        log=$logs/$preset-$run.log
        t0=$(date +%s)
        ctest --preset "$preset" >"$log" 2>&1
        names=$(sed -nE 's/^[[:space:]]*[0-9]+ - ([^ ]+) \((Failed|Timeout|SEGFAULT|Not Run|Exception).*/\1/p' "$log")
        summary=$(grep -E 'tests passed, [0-9]+ tests? failed' "$log" | tail -1)
        total=$((total + 1))
        if [ -n "$names" ] || [ -z "$summary" ]; then
            failures=$((failures + 1))
            for name in ${names:-"(no ctest summary)"}; do
                failed_tests[$preset/$name]=$((${failed_tests[$preset/$name]:-0} + 1))
            done
            echo "$preset run $run: FAILED in $(($(date +%s) - t0)) s:" $names "(log: $log)"
        else
            echo "$preset run $run: $summary, $(($(date +%s) - t0)) s"
            rm -f "$log"
        fi
    done
done

echo "$total runs, $failures failures"
for name in "${!failed_tests[@]}"; do echo "  $name failed ${failed_tests[$name]} times"; done
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# Sets up, builds every preset the tests need and runs every test: native (debug), AddressSanitizer
# with UndefinedBehaviorSanitizer, ThreadSanitizer, and the Windows builds (i686, x86_64) under
# Wine; then the extra checks in scripts/test.d/ (each script is one check). Ends with a summary
# line "N passed, N failed" and fails when anything failed.
#   scripts/test.sh [PRESET...]    (default: all)
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source cmake/wine-env.sh

scripts/setup.sh || exit 1

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-asan native-tsan win32 win64)

if [ -z "${DISPLAY:-}" ]; then
    linkmend_start_xvfb || exit 1
    trap 'kill $LINKMEND_XVFB_PID 2>/dev/null' EXIT
fi

passed=0
failed=0
started=$(date +%s)
log_dir="$root/build/logs"
mkdir -p "$log_dir"

count_ctest() { # log file: adds the counts of one ctest run
    local summary
    summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1)
    if [ -z "$summary" ]; then
        failed=$((failed + 1))
        return
    fi
    local bad total
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

for preset in "${presets[@]}"; do
    echo "== $preset: configure and build"
    t0=$(date +%s)
    if ! { cmake --preset "$preset" >"$log_dir/$preset-configure.log" 2>&1 &&
        cmake --build --preset "$preset" -j2 >"$log_dir/$preset-build.log" 2>&1; }; then
        echo "   build failed; the end of the log:"
        tail -30 "$log_dir/$preset-configure.log" "$log_dir/$preset-build.log"
        failed=$((failed + 1))
        continue
    fi
    echo "== $preset: test"
    ctest --preset "$preset" 2>&1 | tee "$log_dir/$preset-test.log" |
        grep -E 'tests passed|\*\*\*Failed|Failed  |Not Run|Timeout|Exception' || true
    count_ctest "$log_dir/$preset-test.log"
    echo "   $preset took $(($(date +%s) - t0)) s"
done

if [ $# -eq 0 ]; then
    for check in scripts/test.d/*.sh; do
        [ -x "$check" ] || continue
        echo "== $(basename "$check")"
        if "$check" >"$log_dir/$(basename "$check").log" 2>&1; then
            passed=$((passed + 1))
            echo "   passed"
        else
            failed=$((failed + 1))
            echo "   FAILED; the end of the log:"
            tail -30 "$log_dir/$(basename "$check").log"
        fi
    done
fi

echo "All tests took $(($(date +%s) - started)) s."
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

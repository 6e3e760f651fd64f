# shellcheck shell=bash disable=SC2154
# Running and counting tests, shared by scripts/test.sh and scripts/test-emulated.sh: the counts
# go to the caller's passed, failed and skipped; logs are in the caller's log_dir.

# test_preset PRESET [CTEST ARGUMENT...]: runs the preset's tests into build/logs/PRESET-test.log
# and shows its summary and failures as they come.
test_preset() {
    local preset=$1
    shift
    ctest --preset "$preset" "$@" 2>&1 | tee "$log_dir/$preset-test.log" |
        grep -E 'tests passed|\*\*\*Failed|Failed  |Not Run|Timeout|Exception' || true
}

# ctest's log of one run: adds its counts, and shows the end of each failed test's own output
# (without the complaints of Wine's sound drivers where no sound server runs).
count_ctest() {
    local log=$1 tree=$2 summary
    summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
    if [ -z "$summary" ]; then
        failed=$((failed + 1))
        echo "   ctest gave no summary; the end of its log:"
        tail -30 "$log"
        return
    fi
    local bad total skip
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
    total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$summary")
    skip=$(grep -cE '^[[:space:]]*[0-9]+ - .* \(Skipped\)' "$log")
    passed=$((passed + total - bad - skip))
    failed=$((failed + bad))
    skipped=$((skipped + skip))
    if [ "$skip" -gt 0 ]; then
        echo "   $skip skipped ($(grep -m1 -h '^skipped: ' "$tree/Testing/Temporary/LastTest.log" |
            sed 's/^skipped: //'))"
    fi
    local name
    for name in $(sed -nE 's/^[[:space:]]*[0-9]+ - ([^ ]+) \((Failed|Timeout|SEGFAULT|Not Run|Exception).*/\1/p' "$log"); do
        echo "   --- the end of $name's output:"
        awk -v name="$name" '
            $0 ~ "^[0-9]+/[0-9]+ Test: " name "$" { inside = 1; n = 0; next }
            inside && /^<end of output>/ { inside = 0 }
            inside && !/^ALSA lib / { lines[n++ % 40] = $0 }
            END { for (i = (n > 40 ? n - 40 : 0); i < n; ++i) print "   " lines[i % 40] }
        ' "$tree/Testing/Temporary/LastTest.log"
    done
}

# One check's outcome: its exit status and when it started.
report_check() {
    local check=$1 status=$2 t0=$3
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
        echo "   passed in $(($(date +%s) - t0)) s"
    else
        failed=$((failed + 1))
        echo "   FAILED; the end of the log:"
        tail -30 "$log_dir/$(basename "$check").log"
    fi
}

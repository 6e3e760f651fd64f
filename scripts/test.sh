#!/usr/bin/env bash
# Sets up, builds every preset the tests need and runs every test: native (debug), AddressSanitizer
# with UndefinedBehaviorSanitizer, ThreadSanitizer, and the Windows builds (i686, x86_64) under
# Wine, with the i386 Linux build through qemu-user where Wine cannot run 32-bit programs; then
# the extra checks in scripts/test.d/ (each script is one check). Ends with a summary
# line "N passed, N failed, N skipped" and fails when anything failed. A failure shows the end of
# its own output here; the whole logs are in build/logs/.
#   scripts/test.sh [PRESET...]    (default: all)
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit
source cmake/wine-env.sh
source scripts/test-lib.sh

scripts/setup.sh || exit 1

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-asan native-tsan win32 win64)

if [ -z "${DISPLAY:-}" ]; then
    linkmend_start_xvfb || exit 1
fi
# An interrupted run leaves no background work or display behind.
trap 'kill $(jobs -p) ${LINKMEND_XVFB_PID:-} 2>/dev/null' EXIT

passed=0
failed=0
skipped=0
started=$(date +%s)
log_dir="$root/build/logs"
mkdir -p "$log_dir"

# A check marked "test.sh: beside the Windows tests" keeps to one core; it runs in the background
# while the last Windows preset's tests run (they mostly wait for Wine), and is counted after it.
beside=()
if [ $# -eq 0 ]; then
    for check in scripts/test.d/*.sh; do
        if [ -x "$check" ] && grep -q '^# test.sh: beside the Windows tests' "$check"; then
            beside+=("$check")
        fi
    done
fi
declare -A beside_pid beside_start
# Work started in the background at the lowest priority before the first preset holds this lock
# until it ends; the checks beside the Windows tests wait for it.
background_lock=$log_dir/background.lock
start_beside() {
    local check
    for check in "${beside[@]}"; do
        beside_start[$check]=$(date +%s)
        # At the lowest priority: the Windows tests' sound must not wait for it.
        flock "$background_lock" nice -n 19 "$check" >"$log_dir/$(basename "$check").log" 2>&1 &
        beside_pid[$check]=$!
    done
}

# build_preset PRESET [TARGET...]: configures and builds the preset's tree (only TARGETs when
# given); shows the end of the logs when that fails.
build_preset() {
    local preset=$1
    shift
    local targets=()
    [ $# -eq 0 ] || targets=(--target "$@")
    cmake --preset "$preset" >"$log_dir/$preset-configure.log" 2>&1 &&
        cmake --build --preset "$preset" -j2 "${targets[@]}" >"$log_dir/$preset-build.log" 2>&1 &&
        return 0
    echo "   build failed; the end of the log:"
    tail -30 "$log_dir/$preset-configure.log" "$log_dir/$preset-build.log"
    return 1
}

# Where no 32-bit program can run, the i686 tree builds only what it ships (the program with the
# RAS stand-ins beside it) and runs only its size check; its other tests are counted as skipped.
# The shipped build's 32-bit code generation is tested there instead as i386 Linux programs (the
# player, the tools and their tests) through qemu-user.
no_32bit=$(linkmend_no_32bit_reason)
preset_targets() {
    if [ "$1" = win32 ] && [ -n "$no_32bit" ]; then echo linkmend ras_standin_beside_linkmend; fi
}

# On such a host the i686 (what it ships), ThreadSanitizer and i386 trees are built in the
# background at the lowest priority from the start, on the processor time the other presets leave,
# and tested once the Windows tests (which mostly wait for Wine) have begun, so that no timed test
# of theirs runs on a starved processor. The checks beside the Windows tests build what they need
# the same way (each takes --build-only). All of these are counted after the presets.
background=()
if [ $# -eq 0 ] && [ -n "$no_32bit" ]; then background=(win32 native-tsan linux-i386); fi
foreground=()
for preset in "${presets[@]}"; do
    [[ " ${background[*]} " == *" $preset "* ]] || foreground+=("$preset")
done
last_windows=
for preset in "${foreground[@]}"; do
    case "$preset" in win*) last_windows=$preset ;; esac
done

# Held until the Windows tests begin (or the presets are done); the background tests wait for it.
windows_started=$log_dir/windows-started.lock
exec 9>"$windows_started"
flock 9
declare -A background_pid
for preset in "${background[@]}"; do
    (
        exec 9>&-
        renice -n 19 -p "$BASHPID" >/dev/null
        t0=$(date +%s)
        read -ra targets <<<"$(preset_targets "$preset")"
        build_preset "$preset" "${targets[@]}" || exit 1
        echo "   built in $(($(date +%s) - t0)) s"
        filter=()
        [ ${#targets[@]} -eq 0 ] || filter=(-R '^linkmend_size$' -FA wine_session)
        flock "$windows_started" true
        test_preset "$preset" "${filter[@]}"
        echo "   $preset took $(($(date +%s) - t0)) s"
    ) >"$log_dir/$preset-background.log" 2>&1 &
    background_pid[$preset]=$!
done
exec 8>"$background_lock"
flock 8
for check in "${beside[@]}"; do
    nice -n 19 "$check" --build-only >"$log_dir/$(basename "$check")-build.log" 2>&1 9>&- &
done
exec 8>&-
# The Windows tests' Wine prefix is made now, beside the first builds, rather than when their
# session starts.
if [ -n "$last_windows" ]; then
    linkmend_wine_prefix "build/$last_windows" >"$log_dir/$last_windows-prefix.log" 2>&1 9>&- &
fi

# count_preset PRESET: adds a tested preset's counts, and the tests it could not run here.
count_preset() {
    local preset=$1 unrun
    if [ -n "$(preset_targets "$preset")" ]; then
        unrun=$(($(ctest --preset "$preset" -N | sed -n 's/^Total Tests: //p') - 1))
        skipped=$((skipped + unrun))
        echo "   $unrun skipped, not built: $no_32bit"
        skip_note="the $unrun skipped are the $preset Wine tests: $no_32bit"
    fi
    count_ctest "$log_dir/$preset-test.log" "$root/build/$preset"
}

skip_note=
for preset in "${foreground[@]}"; do
    echo "== $preset: configure and build"
    t0=$(date +%s)
    read -ra targets <<<"$(preset_targets "$preset")"
    if ! build_preset "$preset" "${targets[@]}"; then
        failed=$((failed + 1))
        continue
    fi
    echo "   built in $(($(date +%s) - t0)) s"
    echo "== $preset: test"
    filter=()
    [ ${#targets[@]} -eq 0 ] || filter=(-R '^linkmend_size$' -FA wine_session)
    if [ "$preset" = "$last_windows" ]; then
        exec 9>&-
        if [ ${#beside[@]} -gt 0 ]; then
            echo "   beside it: ${beside[*]##*/}${background[*]:+, the tests of ${background[*]}}"
            start_beside
        fi
    fi
    test_preset "$preset" "${filter[@]}"
    count_preset "$preset"
    echo "   $preset took $(($(date +%s) - t0)) s"
done
exec 9>&-

for preset in "${background[@]}"; do
    echo "== $preset: built and tested in the background"
    wait "${background_pid[$preset]}"
    status=$?
    cat "$log_dir/$preset-background.log"
    if [ "$status" -eq 0 ]; then
        count_preset "$preset"
    else
        failed=$((failed + 1))
    fi
done

if [ $# -eq 0 ]; then
    for check in scripts/test.d/*.sh; do
        [ -x "$check" ] || continue
        echo "== $(basename "$check")"
        if [ -n "${beside_pid[$check]:-}" ]; then
            wait "${beside_pid[$check]}"
            report_check "$check" $? "${beside_start[$check]}"
            continue
        fi
        t0=$(date +%s)
        "$check" >"$log_dir/$(basename "$check").log" 2>&1
        report_check "$check" $? "$t0"
    done
fi

echo "All tests took $(($(date +%s) - started)) s."
if [ -n "$skip_note" ]; then
    [[ " ${background[*]} " != *" linux-i386 "* ]] ||
        skip_note+=" (their 32-bit code ran as linux-i386, through qemu-user)"
    echo "$skip_note"
fi
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# Fuzzes the module loader, the XM tools' own parsing (the file walk, the rewrites in both layouts,
# the once-through end finder) and the first seconds of playing what it loads: builds the
# libFuzzer target with clang (ASan and UBSan) in build/fuzz, seeds it with the test builder's
# modules and the shared robustness set, and runs it for LINKMEND_FUZZ_SECONDS (60 by default).
# Exits non-zero on any finding; the input that caused it is left in build/fuzz/findings/. It
# keeps to one core (LINKMEND_JOBS builds with more), so the test command runs it beside the
# Windows tests, which mostly wait for Wine; with --build-only it just builds, which the test
# command does earlier, in the background.
# test.sh: beside the Windows tests
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
seconds=${LINKMEND_FUZZ_SECONDS:-60}
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"${LINKMEND_JOBS:-1}" --target xm_load_fuzzer xm_test_modules >/dev/null
[ "${1:-}" != --build-only ] || exit 0

corpus=build/fuzz/corpus
findings=build/fuzz/findings
mkdir -p "$corpus" "$findings"
build/fuzz/tests/xmtools/xm_test_modules "$corpus"
seeds=("$corpus")
robustness="$root/../shared/xm/robustness"
[ -d "$robustness" ] && seeds+=("$robustness")
build/fuzz/tests/fuzz/xm_load_fuzzer -max_total_time="$seconds" -max_len=65536 \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    "${seeds[@]}"

#!/usr/bin/env bash
# Runs a Windows test program under Wine with a private sound server whose output is recorded:
#   with_sound.sh BUILD_DIR PROGRAM.exe [ARGS...]
# The program finds the growing raw recording (48 kHz, 16-bit, stereo) through the Windows path
# in LINKMEND_CAPTURE.
set -euo pipefail
build=$(cd "$1" && pwd)
shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/cmake/wine-env.sh"
linkmend_skip_unless_runnable "$1"
source "$root/scripts/private-sound.sh"

trap linkmend_stop_pulse EXIT
linkmend_start_pulse
capture="$LINKMEND_PULSE_DIR/capture.raw"
: >"$capture"
linkmend_record_pulse "$capture"
# Wine's sound driver asks the server for a few milliseconds of buffering, which keeps the server
# busy and a slow machine's sound on the edge. 100 ms, as many desktops have, halves the server's
# work and changes nothing the test looks at.
export PULSE_LATENCY_MSEC=100
export LINKMEND_CAPTURE="Z:${capture//\//\\}"
"$root/cmake/wine-run.sh" "$build" "$@"

#!/usr/bin/env bash
# Sets up, builds the shipped (i686) linkmend.exe and runs it under Wine.
#   scripts/run.sh [SECONDS]
# With a display it simply runs the program (with sound when a sound server answers). Without
# one it runs it on a private Xvfb display with a private sound server, saves a picture of the
# dialog with its title bar to BUILD/linkmend-dialog.png and the first SECONDS (a whole number
# from 1 to 600, default 6) of the music it played to BUILD/linkmend-music.wav, prints where,
# then closes it with Esc. The music is recorded as it plays, so that takes SECONDS and more.
# It writes nothing outside BUILD; scripts/update-screenshot.sh refreshes the README's picture.
# The program is BUILD/app/linkmend.exe with the RAS stand-in DLLs beside it (Wine's own RAS only
# pretends), so either "Создать подключение" button shows the stand-in wizard and writes a real
# phonebook entry. When it fails, the last line says why, starting "run.sh: ".
# On a machine that runs 64-bit code only (where Wine cannot start a 32-bit program) it says so
# and runs the x86_64 build (build/win64) instead. LINKMEND_BUILD_DIR chooses the build tree;
# LINKMEND_BUILT=1 runs a tree built elsewhere as it is, without setup or build steps (the emulated
# test machine has Wine but no compilers).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source cmake/wine-env.sh
source scripts/private-sound.sh

fail() {
    echo "run.sh: $*" >&2
    exit 1
}

# The recording grows by 192,000 bytes a second; ten minutes stay well inside what the
# showcase reads.
longest=600
case "${1:-}" in
-h | --help)
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
    exit 0
    ;;
esac
seconds=${1:-6}
if [ $# -gt 1 ] || [[ ! $seconds =~ ^[1-9][0-9]*$ ]] || [ "${#seconds}" -gt 3 ] ||
    [ "$seconds" -gt "$longest" ]; then
    echo "run.sh: SECONDS must be one whole number from 1 to $longest, not '$*'" >&2
    exit 2
fi

[ -n "${LINKMEND_BUILT:-}" ] || scripts/setup.sh
preset=win32
no_32bit=$(linkmend_no_32bit_reason)
if [ -n "$no_32bit" ]; then
    echo "note: $no_32bit; running the x86_64 build instead of the shipped i686 one"
    preset=win64
fi
build=${LINKMEND_BUILD_DIR:-build/$preset}
if [ -z "${LINKMEND_BUILT:-}" ]; then
    cmake --preset "$preset" -B "$build" >/dev/null
    # Only what this run starts: the program with the RAS stand-ins beside it, and without a
    # display the showcase that pictures it and keeps its music.
    targets=(linkmend ras_standin_beside_linkmend)
    [ -n "${DISPLAY:-}" ] || targets+=(linkmend_showcase)
    cmake --build "$build" -j2 --target "${targets[@]}"
fi
build=$(cd "$build" && pwd)
program=$build/app/linkmend.exe
for dll in rasapi32.dll rasdlg.dll; do
    [ -f "$build/app/$dll" ] ||
        fail "$build/app/$dll is missing, so linkmend.exe cannot start:" \
            "build the target ras_standin_beside_linkmend"
done

# Wine's loader messages are kept (and only those): they name a DLL that did not load.
wine_log=$build/linkmend-wine.log
export WINEDEBUG=-all,err+module WINEPREFIX WINEDLLOVERRIDES="rasapi32,rasdlg=n"
WINEPREFIX=$(linkmend_wine_prefix "$build")

# One line on why Wine could not start the program, from its loader's messages; empty if none.
loader_trouble() {
    local message='.*err:module:import_dll Library \([^ ]*\) (which is needed by L".*\\\([^\\"]*\)") not found.*'
    local says='Wine could not load \1, which \2 needs: it lies neither beside the program nor in the prefix'
    sed -n "s/$message/$says/p" "$wine_log" | head -1
}

if [ -n "${DISPLAY:-}" ]; then
    xdpyinfo >/dev/null 2>&1 ||
        fail "no display: $DISPLAY does not answer" \
            "(start the X server, or unset DISPLAY to run on a private one)"
    pactl info >/dev/null 2>&1 || echo "no sound server answers: linkmend.exe runs without music"
    status=0
    linkmend_wine "$program" 2>"$wine_log" || status=$?
    [ "$status" -eq 0 ] && exit 0
    reason=$(loader_trouble)
    fail "${reason:-linkmend.exe ended with exit code $status}"
fi

picture=$build/linkmend-dialog.png
music=$build/linkmend-music.wav
bitmap=$build/linkmend-dialog.bmp
cleanup() {
    linkmend_stop_server
    linkmend_stop_pulse
    [ -n "${LINKMEND_XVFB_PID:-}" ] && kill "$LINKMEND_XVFB_PID" 2>/dev/null
    rm -f "$bitmap"
}
trap cleanup EXIT
linkmend_start_xvfb 2>/dev/null ||
    fail "no display: Xvfb could not start a private one (is the package xvfb installed?)"
linkmend_start_pulse 2>/dev/null ||
    fail "no sound server: the private PulseAudio did not start" \
        "($(tail -1 "$LINKMEND_PULSE_DIR/server.log" 2>/dev/null))"
capture="$LINKMEND_PULSE_DIR/capture.raw"
: >"$capture"
linkmend_record_pulse "$capture"
rm -f "$picture" "$music"

windows() { echo "Z:${1//\//\\}"; }
status=0
linkmend_wine "$build/tests/app/linkmend_showcase.exe" "$(windows "$bitmap")" "$(windows "$capture")" \
    "$(windows "$music")" "$seconds" 2>"$wine_log" || status=$?
if [ "$status" -ne 0 ]; then
    reason=$(loader_trouble)
    [ -n "$reason" ] ||
        reason=$(sed -n 's/^linkmend_showcase: //p' "$wine_log" | tr -d '\r' | head -1)
    fail "${reason:-linkmend_showcase.exe ended with exit code $status (see $wine_log)}"
fi
# No time stamps in the picture, so the same dialog gives the same file.
convert "$bitmap" -strip -define png:exclude-chunks=date,time "$picture"
echo "dialog: $picture"
echo "music:  $music"

#!/usr/bin/env bash
# Sets up, builds the shipped (i686) linkmend.exe and runs it under Wine.
#   scripts/run.sh [SECONDS]
# With a display it simply runs the program (with sound when a sound server answers). Without
# one it runs it on a private Xvfb display with a private sound server, saves a picture of the
# dialog with its title bar to docs/screenshot.png and the first SECONDS (default 6) of the music
# it played to BUILD/linkmend-music.wav, then closes it with Esc.
# The program runs beside the RAS stand-in DLLs (Wine's own RAS only pretends), so either
# "Создать подключение" button shows the stand-in wizard and writes a real phonebook entry.
# LINKMEND_BUILD_DIR chooses the build tree (default build/win32).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source cmake/wine-env.sh
source scripts/private-sound.sh
seconds=${1:-6}
build=${LINKMEND_BUILD_DIR:-build/win32}

scripts/setup.sh
cmake --preset win32 -B "$build" >/dev/null
cmake --build "$build" -j2
build=$(cd "$build" && pwd)
export WINEDEBUG=-all WINEPREFIX WINEDLLOVERRIDES="rasapi32,rasdlg=n"
WINEPREFIX=$(linkmend_wine_prefix "$build")

if [ -n "${DISPLAY:-}" ]; then
    pactl info >/dev/null 2>&1 || echo "no sound server answers: linkmend.exe runs without music"
    wine "$build/standin/linkmend.exe"
    exit 0
fi

cleanup() {
    wineserver -k 2>/dev/null || true
    linkmend_stop_pulse
    [ -n "${LINKMEND_XVFB_PID:-}" ] && kill "$LINKMEND_XVFB_PID" 2>/dev/null
    rm -f "$build/showcase.bmp"
}
trap cleanup EXIT
linkmend_start_xvfb
linkmend_start_pulse
capture="$LINKMEND_PULSE_DIR/capture.raw"
: >"$capture"
linkmend_record_pulse "$capture"

windows() { echo "Z:${1//\//\\}"; }
wine "$build/tests/app/linkmend_showcase.exe" "$(windows "$build/showcase.bmp")" \
    "$(windows "$capture")" "$(windows "$build/linkmend-music.wav")" "$seconds"
mkdir -p docs
convert "$build/showcase.bmp" docs/screenshot.png
echo "dialog: $root/docs/screenshot.png"
echo "music:  $build/linkmend-music.wav"

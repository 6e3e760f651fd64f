#!/usr/bin/env bash
# The README's first command as a newcomer runs it: scripts/run.sh itself, in this checkout, with
# its own build tree, without a display, without the harness's Wine settings. Fails with one line
# saying why when the command fails, when the dialog's picture, the recorded music or the close
# with Esc is missing, or when the run changed the working tree.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root" || exit 1

fail() {
    echo "main command: $*"
    exit 1
}

tree_state() { git status --porcelain --untracked-files=all 2>/dev/null; }
before=$(tree_state)
output=$(env -u DISPLAY -u WINEDLLOVERRIDES -u WINEPREFIX -u WINEDEBUG -u PULSE_SERVER \
    -u LINKMEND_BUILD_DIR scripts/run.sh 2>&1)
status=$?
echo "$output"
if [ "$status" -ne 0 ]; then
    reason=$(grep -m1 '^run.sh: ' <<<"$output")
    fail "scripts/run.sh exited with $status: ${reason:-it gave no reason}"
fi
[ "$(tree_state)" = "$before" ] ||
    fail "scripts/run.sh changed the working tree: $(git status --short | head -3 | tr '\n' ' ')"

grep -q 'closed with Esc: yes (exit code 0)' <<<"$output" ||
    fail "Esc did not close the dialog with exit code 0"

picture=$(sed -n 's/^dialog: //p' <<<"$output")
[ -n "$picture" ] || fail "scripts/run.sh did not say where the picture of the dialog is"
case "$picture" in "$root"/build/*) ;; *) fail "the picture is not under build/: $picture" ;; esac
[ -s "$picture" ] || fail "no picture of the dialog at $picture"
size=$(identify -format '%w %h' "$picture" 2>/dev/null) ||
    fail "the picture at $picture is not an image"
read -r width height <<<"$size"
if [ "$width" -lt 300 ] || [ "$height" -lt 400 ]; then
    fail "the picture at $picture is ${width}x$height, too small for the dialog"
fi

music=$(sed -n 's/^music: *//p' <<<"$output")
[ -n "$music" ] || fail "scripts/run.sh did not say where the music is"
case "$music" in "$root"/build/*) ;; *) fail "the music is not under build/: $music" ;; esac
[ -s "$music" ] || fail "no music recorded at $music"
# The default six seconds of 48 kHz stereo 16-bit samples after the 44-byte header; at least
# half of them audible.
read -r total audible < <(od -An -v -t d2 -w2 -j 44 "$music" |
    awk '{ if ($1 > 64 || $1 < -64) loud++ } END { print NR, loud + 0 }')
[ "$total" -ge $((6 * 48000 * 2)) ] || fail "the music at $music holds only $total samples, not 6 s"
[ $((audible * 2)) -ge "$total" ] ||
    fail "the music at $music is mostly silent ($audible of $total samples audible)"
echo "main command: dialog pictured, $((total / 96000)) s of music recorded," \
    "closed with Esc, exit code 0"

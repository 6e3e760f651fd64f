#!/usr/bin/env bash
# The shipped linkmend.exe is reproducible: scripts/release.sh run on a copy of the sources in
# another folder (its build tree in another folder too) must give the same bytes as the program
# built here: the win32 preset's, which the test command has just built, brought up to date
# first (or, without that tree, release.sh's build alone run on this checkout). A difference means
# a time stamp or a folder path got into the program. Where this machine runs 64-bit code only,
# release.sh writes only a program that passed the emulated machine's tests: the copy's list of
# those is given this program's hash, so the release is written when the bytes are the same.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
work=$root/build/reproducible
rm -rf "$work"
copy=$work/another/folder/linkmend-sources
mkdir -p "$copy"
# The sources as they are now, committed or not, without the build trees.
tar -C "$root" --exclude=./build --exclude=./out --exclude=./.git -cf - . | tar -C "$copy" -xf -

if [ -f build/win32/CMakeCache.txt ]; then
    cmake --build build/win32 --target linkmend -j2 >/dev/null
    here=build/win32/app/linkmend.exe
else
    scripts/release.sh --build-only "$work/first"
    here=$work/first/tree/app/linkmend.exe
fi
mkdir -p "$copy/build/emulated"
sha256sum "$here" | cut -d' ' -f1 >"$copy/build/emulated/passed"
status=0
"$copy/scripts/release.sh" "$work/second-with-a-longer-name" || status=$?
if ! cmp "$here" "$work/second-with-a-longer-name/tree/app/linkmend.exe"; then
    echo "the two builds of linkmend.exe differ (a time stamp or a folder path in the program)"
    exit 1
fi
[ "$status" -eq 0 ] || exit "$status"
echo "two builds in different folders: identical," \
    "SHA-256 $(cut -d' ' -f1 "$work/second-with-a-longer-name/linkmend.exe.sha256")"
(cd "$work/second-with-a-longer-name" && sha256sum --quiet -c linkmend.exe.sha256)
rm -rf "$work"

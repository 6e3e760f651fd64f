#!/usr/bin/env bash
# The shipped linkmend.exe is reproducible: scripts/release.sh run on a copy of the sources in
# another folder (its build tree in another folder too) must give the same bytes as the program
# built here: the win32 preset's, which the test command has just built, brought up to date
# first (or, without that tree, release.sh run on this checkout). A difference means a time stamp
# or a folder path got into the program.
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
    scripts/release.sh "$work/first"
    here=$work/first/linkmend.exe
fi
"$copy/scripts/release.sh" "$work/second-with-a-longer-name"
if ! cmp "$here" "$work/second-with-a-longer-name/linkmend.exe"; then
    echo "the two builds of linkmend.exe differ (a time stamp or a folder path in the program)"
    exit 1
fi
echo "two builds in different folders: identical," \
    "SHA-256 $(cut -d' ' -f1 "$work/second-with-a-longer-name/linkmend.exe.sha256")"
rm -rf "$work"

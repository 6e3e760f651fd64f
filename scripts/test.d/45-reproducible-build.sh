#!/usr/bin/env bash
# The shipped linkmend.exe is reproducible: scripts/release.sh run on this checkout and on a copy
# of its sources in another folder (build trees in other folders too) must give byte-identical
# programs and the same SHA-256. A difference means a time stamp or a folder path got into the
# program.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
work=$root/build/reproducible
rm -rf "$work"
copy=$work/another/folder/linkmend-sources
mkdir -p "$copy"
# The sources as they are now, committed or not, without the build trees.
tar -C "$root" --exclude=./build --exclude=./out --exclude=./.git -cf - . | tar -C "$copy" -xf -

scripts/release.sh "$work/first"
"$copy/scripts/release.sh" "$work/second-with-a-longer-name"
if ! cmp "$work/first/linkmend.exe" "$work/second-with-a-longer-name/linkmend.exe"; then
    echo "the two builds of linkmend.exe differ (a time stamp or a folder path in the program)"
    exit 1
fi
cmp "$work/first/linkmend.exe.sha256" "$work/second-with-a-longer-name/linkmend.exe.sha256"
echo "two builds in different folders: identical," \
    "SHA-256 $(cut -d' ' -f1 "$work/first/linkmend.exe.sha256")"
rm -rf "$work"

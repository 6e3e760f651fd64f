#!/usr/bin/env bash
# Builds the shipped linkmend.exe (i686) in a clean build tree and writes it with its SHA-256:
#   scripts/release.sh [OUT_DIR]      (default build/release)
# gives OUT_DIR/linkmend.exe and OUT_DIR/linkmend.exe.sha256 (sha256sum's format, so
# `sha256sum -c linkmend.exe.sha256` in OUT_DIR verifies it). The build is reproducible: the same
# sources give the same bytes in any folder, so anyone can rebuild a release and compare hashes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=${1:-build/release}
limit=98304 # the shipped program stays within 96 KiB

command -v i686-w64-mingw32-g++-posix >/dev/null || scripts/setup.sh
mkdir -p "$out"
out=$(cd "$out" && pwd)
tree=$out/tree
rm -rf "$tree"
cmake --preset win32 -B "$tree" -DLINKMEND_TESTS=OFF >/dev/null
cmake --build "$tree" --target linkmend -j2 >/dev/null
cp "$tree/app/linkmend.exe" "$out/linkmend.exe"
(cd "$out" && sha256sum linkmend.exe >linkmend.exe.sha256)

size=$(stat -c %s "$out/linkmend.exe")
if [ "$size" -gt "$limit" ]; then
    echo "release.sh: linkmend.exe is $size bytes, more than $limit" >&2
    exit 1
fi
if [ -e .git ] && [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "note: the working tree has uncommitted changes, which this build includes"
fi
echo "linkmend.exe: $out/linkmend.exe ($size bytes)"
echo "SHA-256:      $(cut -d' ' -f1 "$out/linkmend.exe.sha256") ($out/linkmend.exe.sha256)"

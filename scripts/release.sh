#!/usr/bin/env bash
# Builds the shipped linkmend.exe (i686) in a clean build tree and writes it with its SHA-256:
#   scripts/release.sh [OUT_DIR]      (default build/release)
# gives OUT_DIR/linkmend.exe and OUT_DIR/linkmend.exe.sha256 (sha256sum's format, so
# `sha256sum -c linkmend.exe.sha256` in OUT_DIR verifies it). The build is reproducible: the same
# sources give the same bytes in any folder, so anyone can rebuild a release and compare hashes.
# On a machine that runs 64-bit code only, the i686 program's tests run in an emulated machine
# (scripts/test-emulated.sh); a release is written only when that run passed on these very bytes.
#   scripts/release.sh --build-only OUT_DIR
# builds the program in OUT_DIR/tree as a release would and stops there: no release is written.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build_only=
if [ "${1:-}" = --build-only ]; then
    build_only=1
    shift
fi
out=${1:-build/release}
limit=98304 # the shipped program stays within 96 KiB

command -v i686-w64-mingw32-g++-posix >/dev/null || scripts/setup.sh
mkdir -p "$out"
out=$(cd "$out" && pwd)
tree=$out/tree
rm -rf "$tree"
cmake --preset win32 -B "$tree" -DLINKMEND_TESTS=OFF >/dev/null
cmake --build "$tree" --target linkmend -j2 >/dev/null
built=$tree/app/linkmend.exe
[ -z "$build_only" ] || exit 0

size=$(stat -c %s "$built")
if [ "$size" -gt "$limit" ]; then
    echo "release.sh: linkmend.exe is $size bytes, more than $limit" >&2
    exit 1
fi
hash=$(sha256sum "$built" | cut -d' ' -f1)
source cmake/wine-env.sh
reason=$(linkmend_no_32bit_reason)
if [ -n "$reason" ] && ! grep -qx "$hash" build/emulated/passed 2>/dev/null; then
    echo "release.sh: $reason, and scripts/test-emulated.sh has not passed on this" \
        "linkmend.exe (SHA-256 $hash); run it, then this again" >&2
    exit 1
fi
cp "$built" "$out/linkmend.exe"
(cd "$out" && sha256sum linkmend.exe >linkmend.exe.sha256)
if [ -e .git ] && [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "note: the working tree has uncommitted changes, which this build includes"
fi
echo "linkmend.exe: $out/linkmend.exe ($size bytes)"
echo "SHA-256:      $hash ($out/linkmend.exe.sha256)"

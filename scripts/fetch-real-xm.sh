#!/usr/bin/env bash
# Fetches the large real-world XM file the loader tests check (frozen-mainzik-2p.xm from the
# Debian package fb-music-high) into build/realfiles/. Does nothing when it is there already.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
target="$root/build/realfiles"
name=frozen-mainzik-2p.xm
[ -s "$target/$name" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
if ! apt-get download fb-music-high >/dev/null 2>&1; then
    apt-get update >/dev/null
    apt-get download fb-music-high >/dev/null
fi
dpkg-deb -x fb-music-high_*.deb extracted
found=$(find extracted -name "$name" -print -quit)
if [ -z "$found" ]; then
    echo "fetch-real-xm: $name is not in the package fb-music-high" >&2
    exit 1
fi
mkdir -p "$target"
cp "$found" "$target/$name.part"
mv "$target/$name.part" "$target/$name"
echo "fetch-real-xm: $target/$name"

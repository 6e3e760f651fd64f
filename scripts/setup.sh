#!/usr/bin/env bash
# Installs what building and testing linkmend needs on a Debian machine: the native toolchain
# and test libraries, the i386 multilib compilers with qemu-user to run their programs, the
# mingw-w64 cross compilers, Wine (32- and 64-bit), Xvfb, PulseAudio and ImageMagick. Only missing packages are installed. Run as root; otherwise it prints the exact
# apt-get line to run and stops. Arguments name more packages that one caller alone needs.
#   scripts/setup.sh [PACKAGE...]
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest libbenchmark-dev
    g++-multilib qemu-user
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64
    wine wine64 wine32:i386 fonts-wine xvfb xauth x11-utils imagemagick
    pulseaudio pulseaudio-utils "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    line="dpkg --add-architecture i386 && apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
    if [ "$(id -u)" != 0 ]; then
        echo "linkmend needs these packages; run as root:"
        echo "  $line"
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    dpkg --add-architecture i386
    # A mirror caught mid-sync fails one list or another; what is missing may well be in the
    # lists that did come, and the install below says clearly when it is not.
    apt-get update -q || echo "apt-get update had errors; installing from the package lists it has"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Real-world XM test data from a Debian package (skipped by the tests when it cannot be had).
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ -x "$here/fetch-real-xm.sh" ]; then
    "$here/fetch-real-xm.sh" || echo "real XM test data unavailable; those tests will be skipped"
fi

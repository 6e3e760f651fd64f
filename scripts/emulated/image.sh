#!/usr/bin/env bash
# The recipe of the emulated i686 test machine's image, from Debian packages alone:
#   scripts/emulated/image.sh OUT_DIR
# writes OUT_DIR/root.img (the root file system, ext4), OUT_DIR/vmlinuz and OUT_DIR/initrd.img.
# Needs root (debootstrap and chroot). The image is cached under the hash of this file, so any
# change here builds a new one. On failure the last line, starting "image:", says why.
set -euo pipefail
out=$1
suite=bookworm
# What the guest runs: Wine with its 32-bit half and the programs the Windows tests and the main
# command use (display, sound server, pictures, CTest, Git for the main command's clean-tree check).
packages=(
    wine wine64 wine32:i386 fonts-wine xvfb xauth x11-utils imagemagick
    pulseaudio pulseaudio-utils cmake git procps
)
size=6G

fail() {
    echo "image: $*" >&2
    exit 1
}

[ "$(id -u)" = 0 ] || fail "building the image needs root (debootstrap, chroot)"
# The mirror apt already uses here.
mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
    awk '/^URIs:/ && !/security/ { print $2; exit }
         /^deb / && !/security/ { for (i = 2; i <= NF; ++i) if ($i ~ /^http/) { print $i; exit } }' || true)
mirror=${mirror:-http://deb.debian.org/debian}

work=$out/build
rm -rf "$work"
mkdir -p "$work"
free=$(df -Pk "$out" | awk 'NR == 2 { print $4 }')
[ "$free" -ge $((9 * 1024 * 1024)) ] ||
    fail "not enough disk space in $out: $((free / 1024)) MiB free, 9 GiB needed"
root=$work/root
cleanup() {
    umount "$root/proc" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

debootstrap --variant=minbase --include=linux-image-amd64,ca-certificates "$suite" "$root" \
    "$mirror" >"$work/debootstrap.log" 2>&1 ||
    fail "debootstrap could not make the root from $mirror: $(grep -m1 '^E: ' "$work/debootstrap.log" ||
        tail -1 "$work/debootstrap.log")"
mount -t proc proc "$root/proc"
in_root() { chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@" >>"$work/apt.log" 2>&1; }
in_root dpkg --add-architecture i386
in_root apt-get update -q || fail "apt-get update failed in the image: $(grep -m1 '^E: ' "$work/apt.log")"
in_root apt-get install -y -q --no-install-recommends "${packages[@]}" ||
    fail "the image's packages could not be installed: $(grep -m1 '^E: ' "$work/apt.log")"
in_root apt-get clean
umount "$root/proc"

# The machine's first process: mounts what every program expects and hands over to the run
# script on the work disk (the second disk), so the image never holds a test step. It powers the
# machine off however that ends.
cat >"$root/sbin/linkmend-init" <<'INIT'
#!/bin/bash
# The initramfs hands over /sys and /dev already mounted.
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /mnt/work
if mount /dev/vdb /mnt/work && [ -f /mnt/work/guest.sh ]; then
    bash /mnt/work/guest.sh
    sync
    umount /mnt/work
else
    echo "guest: the work disk did not mount"
fi
echo o >/proc/sysrq-trigger
sleep 60
INIT
chmod +x "$root/sbin/linkmend-init"

cp "$root"/boot/vmlinuz-* "$out/vmlinuz"
cp "$root"/boot/initrd.img-* "$out/initrd.img"
mke2fs -q -t ext4 -d "$root" "$out/root.img.new" "$size" >"$work/mke2fs.log" 2>&1 ||
    fail "mke2fs could not write the image: $(tail -1 "$work/mke2fs.log")"
mv "$out/root.img.new" "$out/root.img"

#!/usr/bin/env bash
# Runs the shipped i686 build's Wine tests and the main command with the i686 linkmend.exe inside
# an emulated x86_64 machine (qemu, no KVM), for hosts that run 64-bit code only, where the test
# command must skip them. Ends with the test command's summary line "N passed, N failed, N skipped"
# and fails when anything failed.
#   scripts/test-emulated.sh [CTEST SELECTION...]
# A selection (-R REGEX, -L LABEL...) runs only those i686 tests, for looking into one, and no main
# command; such a run is never listed for a release.
# The i686 tree is built here, on the host. The machine's image is made from Debian packages by
# scripts/emulated/image.sh and kept in ${XDG_CACHE_HOME:-~/.cache}/linkmend/emulated/ under the
# hash of that recipe, so it is built once and again only when the recipe changes. The checkout
# and the shared test data go in on a second disk, at the paths they have here; the logs come out
# on it into build/emulated/. When every test passed, the SHA-256 of the linkmend.exe tested is
# added to build/emulated/passed, which scripts/release.sh asks for.
# When the machine itself fails (an image that cannot be built, a machine that does not boot or
# does not finish) the last line, starting "test-emulated.sh:", says so; nothing is counted then.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit

case "${1:-}" in
-h | --help)
    sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'
    exit 0
    ;;
esac
selection=("$@")

harness_fault() {
    echo "test-emulated.sh: $*" >&2
    exit 2
}

scripts/setup.sh debootstrap qemu-system-x86 e2fsprogs || exit 1
started=$(date +%s)
out=$root/build/emulated
rm -rf "$out/results" "$out/win32" "$out/work.img"
mkdir -p "$out"

# 1. The i686 tree, whole: the emulated machine has no compilers.
echo "== win32: configure and build"
t0=$(date +%s)
if ! { cmake --preset win32 && cmake --build --preset win32 -j2; } >"$out/build.log" 2>&1; then
    tail -30 "$out/build.log"
    echo "0 passed, 1 failed, 0 skipped"
    exit 1
fi
echo "   built in $(($(date +%s) - t0)) s"

# 2. The image, from the cache when its recipe has not changed.
recipe=scripts/emulated/image.sh
cache=${XDG_CACHE_HOME:-$HOME/.cache}/linkmend/emulated
image=$cache/$(sha256sum "$recipe" | cut -c1-16)
if [ ! -f "$image/root.img" ]; then
    echo "== the machine's image: building it ($image)"
    t0=$(date +%s)
    mkdir -p "$cache"
    rm -rf "$image.new"
    mkdir -p "$image.new"
    if ! "$recipe" "$image.new" 2>"$out/image.log"; then
        reason=$(grep '^image: ' "$out/image.log" | tail -1)
        rm -rf "$image.new"
        harness_fault "the machine's image could not be built: ${reason#image: }"
    fi
    # Images of earlier recipes are of no more use.
    find "$cache" -mindepth 1 -maxdepth 1 ! -name "$(basename "$image").new" -exec rm -rf {} +
    mv "$image.new" "$image"
    echo "   built in $(($(date +%s) - t0)) s"
fi

# 3. The work disk: the checkout (without other build trees) and the shared data at their paths.
echo "== the work disk"
shared=$(cd "$root/../shared" 2>/dev/null && pwd) || harness_fault "no shared test data beside the checkout"
stage=$out/stage
rm -rf "$stage"
mkdir -p "$stage/tree$root" "$stage/tree$shared"
tar -C "$root" --exclude=./build -cf - . | tar -C "$stage/tree$root" -xf -
mkdir -p "$stage/tree$root/build"
for tree in win32 realfiles; do
    [ -d "build/$tree" ] || continue
    tar -C build --exclude="$tree/wine" --exclude="$tree/Testing" -cf - "$tree" |
        tar -C "$stage/tree$root/build" -xf -
done
tar -C "$shared" -cf - . | tar -C "$stage/tree$shared" -xf -
cp scripts/emulated/guest.sh "$stage/guest.sh"
tested=$(sha256sum build/win32/app/linkmend.exe | cut -d' ' -f1)
{
    printf 'checkout=%q\nshared=%q\n' "$root" "$shared"
    printf 'selection=(%s)\n' "${selection[*]@Q}"
} >"$stage/config"
# Room for the Wine prefix and the logs besides what goes in; the file is sparse.
if ! mke2fs -q -t ext4 -d "$stage" "$out/work.img" 8G >"$out/mke2fs.log" 2>&1; then
    harness_fault "the work disk could not be written: $(tail -1 "$out/mke2fs.log")"
fi
rm -rf "$stage"

# 4. The machine: it boots, runs scripts/emulated/guest.sh from the work disk and powers off.
# Its clock counts the instructions it runs (one a nanosecond) while it works, and follows the
# host's clock only while it idles. A host that falls behind, or pauses the machine for a moment,
# then only slows the machine down; with the host's clock throughout, such pauses broke up the
# music it played, and the tests that record it failed. Such a clock runs one processor only (with
# two the machine does not boot); in its time the music takes a few per cent of that processor.
# Idle time is not skipped: a wait for the disk would then let a timeout inside run out at once.
echo "== the emulated machine (1 processor with its own clock, 4 GiB)"
console=$out/console.log
: >"$console"
boot_limit=300
run_limit=$((40 * 60))
timeout "$run_limit" qemu-system-x86_64 -accel tcg,thread=single -icount shift=0,sleep=on \
    -cpu max,-smap,-pku -smp 1 -m 4096 \
    -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet loglevel=0 init=/sbin/linkmend-init" \
    -drive "file=$image/root.img,if=virtio,format=raw,snapshot=on" \
    -drive "file=$out/work.img,if=virtio,format=raw" \
    -display none -monitor none -serial "file:$console" -no-reboot </dev/null >"$out/qemu.log" 2>&1 &
machine=$!
trap 'kill $machine 2>/dev/null' EXIT
# The console, from the guest's first line on.
tail -n +1 -f --pid="$machine" "$console" | sed -un 's/\r$//; /^guest: /,/^guest: done/p' &
follower=$!
# The machine's last words: the last line of FILEs that says something (not the initramfs' prompt).
last_words() {
    cat "$@" | tr -d '\r' | grep -v -e '^[[:space:]]*$' -e '^(initramfs)' | tail -n 1
}
t0=$(date +%s)
while ! grep -q '^guest: booted' "$console"; do
    if ! kill -0 "$machine" 2>/dev/null; then
        wait "$machine"
        harness_fault "the emulated machine ended before it booted (exit status $?):" \
            "$(last_words "$console" "$out/qemu.log")"
    fi
    if [ $(($(date +%s) - t0)) -gt "$boot_limit" ]; then
        harness_fault "the emulated machine did not boot within $boot_limit s:" \
            "$(last_words "$console")"
    fi
    sleep 1
done
wait "$machine"
status=$?
trap - EXIT
wait "$follower" # the console's last lines
[ "$status" -ne 124 ] || harness_fault "the emulated machine did not finish within $run_limit s"
[ "$status" -eq 0 ] || harness_fault "the emulated machine failed (exit status $status): $(tail -1 "$out/qemu.log")"

# 5. The results, out of the work disk.
results=$out/results
mkdir -p "$out/win32/Testing"
debugfs -R "rdump /results $out" "$out/work.img" >/dev/null 2>&1
debugfs -R "rdump /tree$root/build/win32/Testing/Temporary $out/win32/Testing" "$out/work.img" >/dev/null 2>&1
for file in linkmend-dialog.png linkmend-music.wav; do
    debugfs -R "dump /tree$root/build/win32/$file $out/$file" "$out/work.img" >/dev/null 2>&1
done
[ -f "$results/finished" ] ||
    harness_fault "the emulated machine stopped before its run ended; see $console"
rm -f "$out/work.img"

source scripts/test-lib.sh
passed=0
failed=0
skipped=0
log_dir=$results
echo "== win32: tested in the emulated machine"
count_ctest "$results/win32-test.log" "$out/win32"
check=40-main-command.sh
if [ ${#selection[@]} -eq 0 ]; then
    echo "== $check"
    read -r status seconds <"$results/$check.status"
    report_check "$check" "$status" $(($(date +%s) - seconds))
fi

echo "All tests took $(($(date +%s) - started)) s (the prefix $(cat "$results/prefix-seconds") s," \
    "the win32 tests $(cat "$results/win32-seconds") s)."
if [ ${#selection[@]} -eq 0 ] && [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ] && ! grep -qx "$tested" "$out/passed" 2>/dev/null; then
    echo "$tested" >>"$out/passed"
fi
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]

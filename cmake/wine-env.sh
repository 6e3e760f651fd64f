# shellcheck shell=bash
# Shared pieces of the Wine harness, sourced by wine-run.sh, wine-session.sh, the test wrappers and
# the scripts.

# The stand-in RAS DLLs lie beside linkmend.exe. Left to itself Wine would then take its own
# rasapi32 but the stand-in rasdlg; programs run here get both of Wine's own unless
# WINEDLLOVERRIDES names them ("rasapi32,rasdlg=n" picks the stand-ins).
case "${WINEDLLOVERRIDES:-}" in
*rasapi32* | *rasdlg*) ;;
*) export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}rasapi32,rasdlg=b" ;;
esac

# Wine's two loaders. The generic `wine` command always starts the 32-bit one, which hands a
# 64-bit program on to the other loader; that hand-over falls back to start.exe when it fails,
# and on a machine that runs 64-bit code only the 32-bit loader cannot start at all. So every
# program here is started by the loader of its own machine.
LINKMEND_WINE32=${LINKMEND_WINE32:-/usr/lib/wine/wine}
LINKMEND_WINE64=${LINKMEND_WINE64:-/usr/lib/wine/wine64}

# Prints the machine a Windows program is built for (i386 or x86_64); nothing for other files.
linkmend_pe_machine() {
    local header signature machine
    header=$(od -An -v -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$header" ] || return 0
    signature=$(od -An -v -t x4 -j "$header" -N 4 "$1" 2>/dev/null | tr -d ' ')
    [ "$signature" = 00004550 ] || return 0
    machine=$(od -An -v -t x2 -j $((header + 4)) -N 2 "$1" | tr -d ' ')
    case "$machine" in
    014c) echo i386 ;;
    8664) echo x86_64 ;;
    esac
}

# Prints why this machine cannot run 32-bit Windows programs, or nothing when it can.
linkmend_no_32bit_reason() {
    local says
    says=$("$LINKMEND_WINE32" --version 2>&1) && return 0
    echo "this machine cannot run 32-bit programs: Wine's 32-bit loader does not start" \
        "(${says##*: })"
}

# Exits with 77, the status CTest counts as skipped, when PROGRAM cannot run on this machine.
linkmend_skip_unless_runnable() {
    [ "$(linkmend_pe_machine "$1")" = i386 ] || return 0
    local reason
    reason=$(linkmend_no_32bit_reason)
    [ -n "$reason" ] || return 0
    echo "skipped: $(basename "$1") is a 32-bit program and $reason"
    exit 77
}

# linkmend_wine PROGRAM.exe|TOOL [ARGS...]: runs a program file with the loader of its machine, or
# one of Wine's own tools (reg, wineboot...) with the 64-bit loader.
linkmend_wine() {
    local loader=$LINKMEND_WINE64
    if [ -f "$1" ] && [ "$(linkmend_pe_machine "$1")" = i386 ]; then loader=$LINKMEND_WINE32; fi
    "$loader" "$@"
}

# Prints the build tree's prefix, creating it once (under a lock, so parallel runs wait for it).
# The prefix counts as made only after its wineserver has written everything out and ended. A
# still copy of it, BUILD/wine/template, is made then too: throwaway prefixes are copied from
# that, since the prefix itself changes under a running server (which rewrites its registry
# files while a copy would read them).
linkmend_wine_prefix() {
    mkdir -p "$1/wine"
    # Wine takes only an absolute prefix path.
    local build prefix template
    build=$(cd "$1" && pwd)
    prefix=$build/wine/prefix
    template=$build/wine/template
    if [ ! -f "$template/.linkmend-ready" ]; then
        (
            flock 9
            if [ ! -f "$template/.linkmend-ready" ]; then
                rm -rf "$prefix" "$template"
                WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
                    linkmend_wine wineboot -i >/dev/null 2>&1
                WINEPREFIX=$prefix wineserver -w
                mkdir -p "$prefix/drive_c/windows/Fonts"
                cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
                linkmend_prefix_settings >>"$prefix/user.reg"
                linkmend_copy_prefix "$prefix" "$template"
                touch "$prefix/.linkmend-ready" "$template/.linkmend-ready"
            fi
        ) 9>"$build/wine/prefix.lock"
    fi
    echo "$prefix"
}

# linkmend_reg_section KEY LINE...: a key with its values as a registry file writes them, for
# appending to a prefix's user.reg while no server runs (which saves starting Wine to set them).
# KEY and LINEs are as the file has them: 'Software\\Wine', '"Version"="win2k"'.
linkmend_reg_section() {
    printf '\n[%s] %s\n' "$1" "$(date +%s)"
    shift
    printf '%s\n' "$@"
}

# The settings every prefix gets:
# - a virtual desktop, which gives Wine a window manager: windows close at once and title bars
#   are drawn;
# - no game-controller bus drivers: nothing here has a game controller, and they would poll all
#   the time in every Wine session, taking processor time from the tests beside them.
linkmend_prefix_settings() {
    linkmend_reg_section 'Software\\Wine\\Explorer' '"Desktop"="Default"'
    linkmend_reg_section 'Software\\Wine\\Explorer\\Desktops' '"Default"="1024x768"'
    linkmend_reg_section 'Software\\Wine\\DllOverrides' '"winebus.sys"=""' '"wineusb.sys"=""'
}

# linkmend_copy_prefix FROM TO: a throwaway copy of a made prefix. The installed DLLs (nearly all
# of its size) are hard links: no program writes them, and only a prefix update by another Wine
# version would. Everything else (registry, users' folders, settings files) is copied.
linkmend_copy_prefix() {
    local from=$1 to=$2 dir
    local shared=(drive_c/windows/system32 drive_c/windows/syswow64 drive_c/windows/winsxs)
    mkdir -p "$to"
    tar -C "$from" "${shared[@]/#/--exclude=./}" -cf - . | tar -C "$to" -xf -
    for dir in "${shared[@]}"; do
        if [ -d "$from/$dir" ]; then cp -al "$from/$dir" "$to/$dir"; fi
    done
}

# Starts the current WINEPREFIX's wineserver to stay up until `wineserver -k`, with Wine's services
# and the desktop (brought up by asking for the desktop window). None of them gets the caller's
# output: a program that outlived a test while holding its pipes would keep the test running.
# Their output, Wine's error messages included, goes to the prefix's start log instead, whose end
# a failed start shows with the step that failed. The driver loader's are left out: it reports the
# bus drivers the prefix turns off.
linkmend_start_server() {
    local log=$WINEPREFIX/.linkmend-start.log status=0 step=wineserver
    local -x WINEDEBUG=fixme-all,err-ntoskrnl
    wineserver -p </dev/null >"$log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
        step=rundll32.exe
        linkmend_wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >>"$log" 2>&1 ||
            status=$?
    fi
    [ "$status" -eq 0 ] && return 0
    echo "Wine could not start $step in $WINEPREFIX (exit status $status):" \
        "$(tail -5 "$log" | tr -d '\r' | tr '\n' ' ')"
    return 1
}

# Ends the current WINEPREFIX's wineserver and every program it serves, and waits until the server
# is gone. Wine names a server's socket folder after the prefix's inode, and a prefix made right
# after this one is removed can get the same inode: while the old server is still ending, the new
# prefix's first program would find its socket and fail to start.
linkmend_stop_server() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

# Makes the current WINEPREFIX, a copy whose wineserver has not started yet, report a Windows
# version: win2k, winxp, win2003, vista, win7 or win10 (which a program without a manifest naming
# Windows 10 sees as 6.2 in GetVersionExW). The value goes straight into the copy's registry file,
# which saves starting Wine once more only to set it; win7 is what a prefix reports without it.
linkmend_set_winver() {
    case "$1" in
    win7) ;;
    win2k | winxp | win2003 | vista | win10)
        linkmend_reg_section 'Software\\Wine' "\"Version\"=\"$1\"" >>"$WINEPREFIX/user.reg"
        ;;
    *) echo "unknown Windows version: $1" >&2; return 2 ;;
    esac
}

# Starts a private Xvfb on a free display; sets DISPLAY and LINKMEND_XVFB_PID.
linkmend_start_xvfb() {
    local n
    for n in $(seq 90 189); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        LINKMEND_XVFB_PID=$!
        for _ in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 $LINKMEND_XVFB_PID 2>/dev/null || break
            sleep 0.05
        done
        if [ -e "/tmp/.X11-unix/X$n" ]; then
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "no free display for Xvfb" >&2
    return 1
}

# The display a run of the build tree's tests uses when none is set: the one the test session
# started (see wine-session.sh) while it is up, otherwise a private Xvfb for this run alone
# (LINKMEND_XVFB_PID is then set, for the caller to stop).
linkmend_use_display() {
    [ -z "${DISPLAY:-}" ] || return 0
    local session=$1/wine/session
    if [ -f "$session" ]; then
        local display pid
        read -r display pid <"$session"
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            export DISPLAY=$display
            return 0
        fi
    fi
    linkmend_start_xvfb
}

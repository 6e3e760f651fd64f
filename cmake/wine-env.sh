# Shared pieces of the Wine harness, sourced by wine-run.sh and the scripts.

# The stand-in RAS DLLs lie beside linkmend.exe. Left to itself Wine would then take its own
# rasapi32 but the stand-in rasdlg; programs run here get both of Wine's own unless
# WINEDLLOVERRIDES names them ("rasapi32,rasdlg=n" picks the stand-ins).
case "${WINEDLLOVERRIDES:-}" in
*rasapi32* | *rasdlg*) ;;
*) export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}rasapi32,rasdlg=b" ;;
esac

# Prints the build tree's prefix, creating it once (under a lock, so parallel tests wait for it).
linkmend_wine_prefix() {
    mkdir -p "$1/wine"
    # Wine takes only an absolute prefix path.
    local build prefix
    build=$(cd "$1" && pwd)
    prefix=$build/wine/prefix
    if [ ! -f "$prefix/.linkmend-ready" ]; then
        (
            flock 9
            if [ ! -f "$prefix/.linkmend-ready" ]; then
                rm -rf "$prefix"
                WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
                    wineboot -i >/dev/null 2>&1
                mkdir -p "$prefix/drive_c/windows/Fonts"
                cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
                # A virtual desktop gives Wine a window manager: windows close at once and
                # title bars are drawn.
                WINEPREFIX=$prefix WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\Explorer' \
                    /v Desktop /d Default /f >/dev/null 2>&1
                WINEPREFIX=$prefix WINEDEBUG=-all wine reg add \
                    'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
                WINEPREFIX=$prefix wineserver -w
                touch "$prefix/.linkmend-ready"
            fi
        ) 9>"$build/wine/prefix.lock"
    fi
    echo "$prefix"
}

# Makes the current WINEPREFIX report a Windows version: win2k, winxp, win2003, vista, win7 or
# win10 (which a program without a manifest naming Windows 10 sees as 6.2 in GetVersionExW).
linkmend_set_winver() {
    local version=$1
    case "$version" in
    win7) wine reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1 || true ;;
    win2k | winxp | win2003 | vista | win10)
        wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1 ;;
    *) echo "unknown Windows version: $version" >&2; return 2 ;;
    esac
    wineserver -w
}

# Starts a private Xvfb on a free display; sets DISPLAY and LINKMEND_XVFB_PID.
linkmend_start_xvfb() {
    local n
    for n in $(seq 90 189); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        LINKMEND_XVFB_PID=$!
        local i
        for i in $(seq 1 100); do
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

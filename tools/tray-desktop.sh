# Sourced by the notification-icon scripts (tray-idle-cpu.sh,
# tray-screenshot.sh), which run inside xvfb-run: Wine's virtual desktop
# with its taskbar and notification area, and TalTray shown in it.

# tray_desktop_start BUILD_DIR [DPI]: sets WINEPREFIX, WINE_RUN, TRAY_BIN,
# TRAY_DATA and TRAY_PID; the desktop and everything in it stop when the
# script exits (or at tray_desktop_stop). DPI is the screen's dots per inch
# (96 when not given).
tray_desktop_start() {
    local here build
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    build=$(cd "$1" && pwd)
    "$here/wine-prefix.sh" "$build" || return 1
    export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
    WINE_RUN="$build/wine-run.sh"
    TRAY_BIN="$build/bin/tray"
    TRAY_DATA="$WINEPREFIX/drive_c/ProgramData/Talvex/Updater"
    trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null' EXIT
    wineserver -p
    mkdir -p "$TRAY_DATA"
    # No version check (it would go to the network); balloons on.
    printf '[App]\r\nUpgrade=0\r\nNotify=1\r\nLastUpdate=%s\r\nLastIP=%s\r\n' \
        "$(date '+%m-%d-%Y %H:%M:%S')" 198.51.100.23 > "$TRAY_DATA/config.talvex"
    # A desktop of its own with the taskbar (start button, notification area).
    "$WINE_RUN" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Talvex /d 1024x768 /f >/dev/null 2>&1
    "$WINE_RUN" reg add 'HKCU\Software\Wine\Explorer\Desktops\Talvex' /v EnableShell /t REG_DWORD /d 1 /f \
        >/dev/null 2>&1
    "$WINE_RUN" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${2:-96}" /f >/dev/null 2>&1
    (cd "$TRAY_BIN" && "$WINE_RUN" explorer /desktop=Talvex,1024x768 TalTray.exe >/dev/null 2>&1 </dev/null &)
    TRAY_PID=
    for _ in $(seq 1 100); do
        TRAY_PID=$(pgrep -x TalTray.exe | head -n 1 || true)
        [ -n "$TRAY_PID" ] && break
        sleep 0.1
    done
    [ -n "$TRAY_PID" ] || { echo "TalTray did not start" >&2; return 1; }
    sleep 2 # the desktop draws its taskbar and the icon settles
}

# tray_desktop_stop: ends the desktop and everything Wine runs in it.
tray_desktop_stop() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}

# tray_send MESSAGE: one tray pipe message (pipes are seen from anywhere).
tray_send() { (cd "$TRAY_BIN" && "$WINE_RUN" TraySignal.exe "$@"); }
# tray_window_send --upgrade | --menu X Y: windows are found only from the
# same desktop, so TraySignal runs inside it.
tray_window_send() { (cd "$TRAY_BIN" && "$WINE_RUN" explorer /desktop=Talvex TraySignal.exe "$@"); }

# CPU time (ms) a process has used so far.
cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{print int(($14 + $15) * 1000 / hz)}' "/proc/$1/stat"; }

#!/usr/bin/env bash
# Pictures of the notification icon in Wine's notification area under Xvfb:
# the icon, the balloon after an update, the new-version balloon, the
# tooltip and the menu, at 96, 120 and 144 dots per inch. Writes
# build/screenshots/tray-*.png (each full screen and, beside it, the
# taskbar's corner enlarged) and prints their paths. Needs root on a fresh
# machine (it installs what is missing and builds first).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ "${1:-}" != "--inside" ]; then
    tools/setup.sh
    if [ -d build/win64 ]; then
        cmake --build build/win64 --target tray_program_copy TraySignal >/dev/null
    else
        tools/build.sh >/dev/null
    fi
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside
fi

out="$root/build/screenshots"
mkdir -p "$out"
source tools/tray-desktop.sh

shot() {
    import -window root "$out/tray-$1.png"
    convert "$out/tray-$1.png" -gravity SouthEast -crop 480x260+0+0 +repage -scale 200% "$out/tray-$1-corner.png"
    echo "$out/tray-$1.png"
}

# The same pictures at 96, 120 and 144 dots per inch (the names of the last
# two end in -120dpi and -144dpi), each in a desktop started anew.
for dpi in 96 120 144; do
    suffix=$([ $dpi = 96 ] || echo "-${dpi}dpi")
    tray_desktop_start build/win64 $dpi
    # Wine's notification area shows a balloon a moment after it is asked.
    shot icon$suffix
    tray_send 1 >/dev/null # an update answered "good"
    sleep 3
    shot balloon$suffix
    tray_send D198.51.100.23 >/dev/null # the next address check takes it down
    tray_window_send --upgrade >/dev/null
    sleep 3
    shot new-version$suffix
    tray_send D198.51.100.23 >/dev/null
    tray_window_send --point 1012 757 >/dev/null # the pointer rests on the icon
    sleep 3
    shot tooltip$suffix
    tray_window_send --menu 1000 700 >/dev/null
    sleep 2
    shot menu$suffix
    tray_desktop_stop
done
# Later sessions in this prefix see the default again.
"$WINE_RUN" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
tray_desktop_stop

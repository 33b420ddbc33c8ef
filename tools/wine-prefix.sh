#!/usr/bin/env bash
# Creates (once) the Wine prefix of a build folder, ready for tests:
# 64-bit prefix for the 64-bit build, 32-bit for the 32-bit one (the build's
# wine-run.sh picks the loader), no desktop integration, windows unmanaged
# so that closing one costs no delay, and the hot-track colour links are
# drawn in set to Windows' own (Wine's default is a pale grey).
set -euo pipefail
build=$(cd "$1" && pwd)
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/.talvex-ready-2" ]; then
    rm -rf "$WINEPREFIX"
    "$build/wine-run.sh" wineboot -i >/dev/null 2>&1 || true
    "$build/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$build/wine-run.sh" reg add 'HKCU\Control Panel\Colors' /v HotTrackingColor /d '0 102 204' /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.talvex-ready-2"
fi

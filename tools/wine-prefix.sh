#!/usr/bin/env bash
# Creates (once) the Wine prefix of a build folder, ready for tests:
# 64-bit prefix, no desktop integration, windows unmanaged so that closing
# one costs no delay.
set -euo pipefail
build=$(cd "$1" && pwd)
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
if [ ! -f "$WINEPREFIX/.talvex-ready" ]; then
    rm -rf "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.talvex-ready"
fi

# Sourced by the scripts that run the Windows programs inside the private
# network: the build's Wine prefix with its server kept alive, and the local
# Talvex service, both stopped again when the script exits.

# session_start BUILD_DIR LOG_NAME: sets WINEPREFIX, WINE_RUN and TALVEX_CONTROL.
session_start() {
    local here build
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    build=$(cd "$1" && pwd)
    "$here/wine-prefix.sh" "$build" || return 1
    export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
    WINE_RUN="$build/wine-run.sh"
    TALVEX_CONTROL=http://127.0.0.1:8081
    _session_service_pid=
    trap session_stop EXIT
    # Wine's server stays up for the whole session: each program then starts
    # in a fraction of the time.
    wineserver -p
    # Start Wine's own background processes now, detached from the caller's
    # output pipes, or a test runner would wait on pipes they inherited.
    "$WINE_RUN" cmd /c exit >/dev/null 2>&1 </dev/null
    # Keep Wine's desktop up for the session, likewise detached.
    "$WINE_RUN" "$build/bin/SessionKeeper.exe" >/dev/null 2>&1 </dev/null &
    sleep 1
    "$here/start-service.sh" "$build/$2.log" || return 1
    _session_service_pid=$(cat "$build/$2.pid")
}

# session_enter_display SCRIPT BUILD_DIR: runs the script again, in place of
# the calling shell, as "SCRIPT BUILD_DIR --inside" inside the private network
# under a virtual X server.
session_enter_display() {
    local here
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    exec "$here/netns-run.sh" xvfb-run -a -s "-screen 0 1024x768x24" "$1" "$2" --inside
}

# session_fresh_wine: Wine's server again, without the desktop keeper, for
# tests that bring their own display (the kept desktop has none).
session_fresh_wine() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    wineserver -p
    "$WINE_RUN" cmd /c exit >/dev/null 2>&1 </dev/null
}

session_stop() {
    [ -n "${_session_service_pid:-}" ] && kill "$_session_service_pid" 2>/dev/null
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}

# service_post PATH [JSON]: one request to the local service's control interface.
service_post() {
    /usr/bin/python3 -c 'import sys, urllib.request as u
u.urlopen(u.Request(sys.argv[1], data=sys.argv[2].encode(), method="POST")).read()' "$TALVEX_CONTROL$1" "${2:-{\}}"
}

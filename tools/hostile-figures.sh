#!/usr/bin/env bash
# Measures one update pass against the local Talvex service with nobody on
# the pipes, with the suite's readers, and with another program holding
# both pipe names that accepts every writer and never reads (each pipe
# write then waits its whole bound, half a second, and is dropped). Prints
# its figures; asserts nothing. Needs root.
#   tools/hostile-figures.sh [BUILD_DIR]     (default build/win64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ "${1:-}" != "--inside" ]; then
    tools/setup.sh
    tools/build.sh >/dev/null
    exec tools/netns-run.sh "$0" --inside "${1:-build/win64}"
fi

build="$root/$2"
source tools/session-lib.sh
session_start "$build" hostile-service
wine=$WINE_RUN
bin="$build/bin"
data="$WINEPREFIX/drive_c/ProgramData/Talvex/Updater"
mkdir -p "$data"
password=$(/usr/bin/python3 tools/talvex_config.py scramble demo-pass)
runs=5

# The demo account with two hosts and nothing stored for them: every pass
# sends an update, so each one writes every message a pass can write.
fresh_config() {
    printf '[App]\r\nUsername=demo\r\nPassword=%s\r\nAuthed=1\r\nProxy=0\r\n[Hosts]\r\nCount=2\r\nHost1=home.talvex-demo.test\r\nHost2=office.talvex-demo.test\r\n' \
        "$password" > "$data/config.talvex"
}

# Runs $runs processes of four passes each; prints the medians of their
# first passes and of the passes a resident updater runs after the first.
passes() {
    local out first later
    out=$(for _ in $(seq 1 $runs); do
        fresh_config
        service_post /control/reset >/dev/null
        (cd "$bin" && "$wine" PassBench.exe pass 4) | sed -n 's/^pass: \(.*\) ms.*/\1/p' | tr -d '\r' |
            awk '{ print (NR == 1 ? "first" : "later"), $1 }'
    done)
    median() { sort -n | awk '{ t[NR] = $1 } END { printf "%.0f", t[int((NR + 1) / 2)] }'; }
    first=$(printf '%s\n' "$out" | awk '$1 == "first" { print $2 }' | median)
    later=$(printf '%s\n' "$out" | awk '$1 == "later" { print $2 }' | median)
    printf '%-36s first pass %6s ms   later passes %6s ms\n' "$1" "$first" "$later"
}

# Keeps a program running in the background until the next kill_helpers.
helpers=()
start_helper() {
    "$wine" "$@" >/dev/null 2>&1 </dev/null &
    helpers+=($!)
    sleep 1
}
kill_helpers() {
    for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait "${helpers[@]}" 2>/dev/null || true
    helpers=()
    sleep 1
}

echo "Update passes (two hosts, address check and update request each), median of $runs processes:"
passes "nobody on the pipes"
# Each session has its own pipes; Wine runs every program in session 1.
start_helper "$bin/HostileProgram.exe" squat '\\.\pipe\TalvexUpdaterTrayPipe-1' 600
start_helper "$bin/HostileProgram.exe" squat '\\.\pipe\TalvexUpdaterConfigPipe-1' 600
passes "both pipe names held, never read"
kill_helpers
echo "(a pass writes the tray pipe twice and the configuration pipe about five times; the first"
echo " write to a pipe that is not read waits its whole bound, later ones a moment)"

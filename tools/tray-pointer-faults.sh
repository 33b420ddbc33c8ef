#!/usr/bin/env bash
# Measures what the pointer passing over TalTray's icon costs it: page
# faults and processor time while 200 icon callbacks of WM_MOUSEMOVE reach
# its window, beside the same for 20 menu-less bursts of work (result
# messages with a balloon). Prints its figures; asserts nothing. Wine keeps
# the working set whatever the program asks, so the faults show a trim only
# on Windows; here they show that a mouse move does no work. Run from the
# source folder after tools/build.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ "${1:-}" != "--inside" ]; then
    cmake --build build/win64 --target tray_program_copy TraySignal >/dev/null
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside
fi

source tools/tray-desktop.sh
tray_desktop_start build/win64
pid=$TRAY_PID

# Minor and major page faults of a process so far.
faults() { awk '{print $10, $12}' "/proc/$1/stat"; }
measure() { # label, then the command that does the work
    local label=$1 before after t0 t1
    shift
    read -r minor0 major0 < <(faults "$pid")
    t0=$(cpu_ms "$pid")
    "$@"
    sleep 1
    read -r minor1 major1 < <(faults "$pid")
    t1=$(cpu_ms "$pid")
    printf '  %-34s %6d minor, %3d major faults, %5d ms\n' "$label" $((minor1 - minor0)) \
        $((major1 - major0)) $((t1 - t0))
}
moves() { tray_window_send --moves 200 >/dev/null; }
balloons() { for i in $(seq 1 20); do tray_send 1 >/dev/null; done; }

echo "TalTray page faults:"
measure "idle 2 s" sleep 2
measure "200 pointer moves over the icon" moves
measure "20 results with a balloon" balloons
echo "  resident set: $(awk '/VmRSS/{print $2, $3}' /proc/$pid/status)"

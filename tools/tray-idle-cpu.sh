#!/usr/bin/env bash
# Measures TalTray's processor use: 10 s idle with its icon shown in Wine's
# notification area, a burst of 50 tray pipe messages, and 10 s idle again.
# Prints its figures; asserts nothing. Needs root on a fresh machine (it
# installs what is missing and builds first).
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

source tools/tray-desktop.sh
tray_desktop_start build/win64
pid=$TRAY_PID

start=$(cpu_ms "$pid"); sleep 10; idle1=$(( $(cpu_ms "$pid") - start ))
start=$(cpu_ms "$pid")
for i in $(seq 1 50); do
    if (( i % 2 )); then tray_send "D198.51.100.$i" >/dev/null; else tray_send 1 >/dev/null; fi
done
sleep 1
burst=$(( $(cpu_ms "$pid") - start ))
start=$(cpu_ms "$pid"); sleep 10; idle2=$(( $(cpu_ms "$pid") - start ))

echo "TalTray processor time:"
echo "  10 s idle, icon shown:              ${idle1} ms"
echo "  50 pipe messages (25 with balloon): ${burst} ms"
echo "  10 s idle after them:               ${idle2} ms"
echo "  resident set: $(awk '/VmRSS/{print $2, $3}' /proc/$pid/status) (Wine does not shrink it on a trim)"

#!/usr/bin/env bash
# Figures of the configuration utility TalUpConfig under Wine, inside the
# private network against the local Talvex service, under a virtual X
# server: start-up to a painted window that answers, processor use idle,
# log reloads of 1,000 to 100,000 lines (whole, and after one new entry),
# and host-list refreshes of 10 and 500 hosts. Prints its figures; asserts
# nothing. Needs root and a built build folder (tools/build.sh).
#   tools/config-figures.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/win64}" && pwd)
if [ "${2:-}" != "--inside" ]; then
    exec "$here/netns-run.sh" xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" --inside
fi
set +e
source "$here/session-lib.sh"
session_start "$build" figures-service >/dev/null || exit 1
frame="$build/bin/config_frame"
data="$WINEPREFIX/drive_c/ProgramData/Talvex/Updater"
mkdir -p "$data"
cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{print int(($14 + $15) * 1000 / hz)}' "/proc/$1/stat"; }

# An account, no host-list download and no version check at start: the
# window's own start-up.
printf '[App]\r\nUsername=demo\r\nPassword=\r\nSync=0\r\nUpgrade=0\r\nStatus=0\r\nProxy=0\r\n' > "$data/config.talvex"
mapfile -t runs < <(cd "$frame" && "$WINE_RUN" ConfigSignal.exe startup 7 2>/dev/null | tr -d '\r')
sorted=$(printf '%s\n' "${runs[@]:1}" | sort -n)
echo "Start-up to a painted window that answers (ms):"
echo "  first start of the session: ${runs[0]}"
echo "  then (6 runs): $(echo $sorted)   median $(echo "$sorted" | sed -n 3p)"

(cd "$frame" && "$WINE_RUN" TalUpConfig.exe >/dev/null 2>&1 &)
sleep 4
pid=$(pgrep -f 'TalUpConfig.exe' | head -n 1)
if [ -n "$pid" ]; then
    start=$(cpu_ms "$pid"); sleep 20; idle=$(( $(cpu_ms "$pid") - start ))
    echo "Processor time idle over 20 s: ${idle} ms; resident $(awk '/VmRSS/{print $2, $3}' /proc/$pid/status)"
fi
(cd "$frame" && "$WINE_RUN" taskkill /f /im TalUpConfig.exe) >/dev/null 2>&1
rm -f "$data/config.talvex" "$data/talvex.log"

echo "Log list and host list (the pages beside a stand-in frame):"
(cd "$build/bin" && "$WINE_RUN" config_pages_test.exe \
    --gtest_filter='Pages.LogReloadTimesForLongLogs:Pages.HostListRefreshTimesFor10And500Hosts' 2>&1) |
    tr -d '\r' | grep -E '^(log reload|host list refresh)' | sed 's/^/  /'

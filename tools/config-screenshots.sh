#!/usr/bin/env bash
# Screenshots of the configuration utility TalUpConfig under a virtual X
# server, inside the private network against the local Talvex service: the
# status panel in each status, each page, and the same at 120 and 144 dots per
# inch, with the account dialog and the progress window at each. The
# program runs from bin/config_frame, beside stub programs, so
# nothing else of the suite is started. Needs root and a built build
# folder (tools/build.sh).
#   tools/config-screenshots.sh [BUILD_DIR]   pictures in BUILD_DIR/screenshots/
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/win64}" && pwd)
if [ "${2:-}" != "--inside" ]; then
    exec "$here/netns-run.sh" xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" --inside
fi
set +e
source "$here/session-lib.sh"
session_start "$build" screenshots-service || exit 1
out="$build/screenshots"
mkdir -p "$out"
bin="$build/bin"
frame="$bin/config_frame"
data="$WINEPREFIX/drive_c/ProgramData/Talvex/Updater"
mkdir -p "$data"

# shot NAME [DELAY] [CLASS]: the utility's window (or its top-level window of
# CLASS, a dialog's "#32770") as out/config-NAME.png
shot() {
    sleep "${2:-1}"
    (cd "$bin" && "$WINE_RUN" ScreenShot.exe "Z:${out//\//\\}\\config-$1.bmp" "${3:-TALVEX_UPDATER_CONFIG}") >/dev/null 2>&1
    /usr/bin/python3 "$here/bmp2png.py" "$out/config-$1.bmp" "$out/config-$1.png" && rm -f "$out/config-$1.bmp"
    echo "$out/config-$1.png"
}
signal() { (cd "$frame" && "$WINE_RUN" ConfigSignal.exe "$@") >/dev/null 2>&1; }
click() { (cd "$bin" && "$WINE_RUN" WindowCommand.exe TALVEX_UPDATER_CONFIG "$1") >/dev/null 2>&1; }
start_utility() { (cd "$frame" && "$WINE_RUN" TalUpConfig.exe >/dev/null 2>&1 &); sleep 3; }
stop_utility() { (cd "$bin" && "$WINE_RUN" taskkill /f /im TalUpConfig.exe) >/dev/null 2>&1; sleep 0.5; }
stop_updater() { (cd "$bin" && "$WINE_RUN" taskkill /f /im ConfigSignal.exe) >/dev/null 2>&1; sleep 0.5; }
# The demo account with a dozen hosts, five of them kept current, and a
# recent update; no version check. The host list is downloaded at start.
names=(home office www mail vpn nas camera git media printer lab backup)
hosts=""
for name in "${names[@]}"; do
    hosts+="${hosts:+, }{\"name\": \"$name.talvex-demo.test\", \"kind\": \"dynamic\", \"address\": \"198.51.100.1\"}"
done
password=$(/usr/bin/python3 "$here/talvex_config.py" scramble demo-pass)
write_config() {
    printf '[App]\r\nUsername=demo\r\nPassword=%s\r\nUpgrade=0\r\nSync=1\r\nStatus=%s\r\nLastUpdate=%s\r\n' \
        "$password" "$1" "$(date '+%m-%d-%Y %H:%M:%S')" > "$data/config.talvex"
    printf '[Hosts]\r\nCount=5\r\nHost1=home.talvex-demo.test\r\nHost2=www.talvex-demo.test\r\n' >> "$data/config.talvex"
    printf 'Host3=vpn.talvex-demo.test\r\nHost4=nas.talvex-demo.test\r\nHost5=git.talvex-demo.test\r\n' >> "$data/config.talvex"
}
# A log of some weeks: three hundred entries, a warning and an error here
# and there.
write_log() {
    /usr/bin/python3 - "$data/talvex.log" <<'PY'
import sys, datetime
start = datetime.datetime(2026, 11, 10, 8, 0, 0)
lines = [""]
for i in range(100):
    t = (start + datetime.timedelta(hours=5 * i)).strftime("%m-%d-%Y %H:%M:%S")
    address = "203.0.113.%d" % (10 + i % 200)
    lines.append("0\t%s\tDNS update issued: User: demo, Hosts: home.talvex-demo.test,www.talvex-demo.test, IP: %s" % (t, address))
    if i % 17 == 5:
        lines.append("1\t%s\twww.talvex-demo.test: nochg - Host already up to date." % t)
    else:
        lines.append("0\t%s\twww.talvex-demo.test: good - Host updated." % t)
    if i % 29 == 11:
        lines.append("2\t%s\tUpdater: The update server could not be reached." % t)
    else:
        lines.append("0\t%s\thome.talvex-demo.test: good - Host updated." % t)
open(sys.argv[1], "w", newline="\n").write("\n".join(lines) + "\n")
PY
}

# dialogs SUFFIX: the account dialog a first start asks with, then the
# progress window of a host list download, asked for with the Home page's
# "Refresh Host List" once the start's own refreshes are over, which the
# service leaves unanswered.
dialogs() {
    printf '[App]\r\nUpgrade=0\r\nSync=0\r\nStatus=3\r\n' > "$data/config.talvex"
    start_utility
    shot "account$1" 1 '#32770'
    stop_utility
    write_config 0
    start_utility
    service_post /control/script '{"endpoint": "hostlist", "mode": "hang"}'
    click 5674 # IDC_REFRESH_HOSTS
    shot "progress$1" 1 '#32770'
    stop_utility
    service_post /control/script/clear
}

service_post /control/reset
service_post /control/accounts "{\"accounts\": {\"demo\": {\"password\": \"demo-pass\", \"hosts\": [$hosts]}}}"
write_config 0
write_log
# A stand-in updater window, so that the panel sees an updater running.
(cd "$frame" && "$WINE_RUN" ConfigSignal.exe updater 600 >/dev/null 2>&1 &)
sleep 1
start_utility
shot good
signal user 132 1; shot warning
signal user 132 2; shot critical
signal user 132 3; shot welcome
signal user 132 0
pages() {
    click 301; shot "advanced$1"
    click 302; shot "logs$1"
    click 303; shot "help$1"
    click 300; shot "home$1"
}
pages ""
# The Logs page's menu, and the question before the log is cleared
# (answered No: the log stays).
click 302
(cd "$bin" && "$WINE_RUN" WindowCommand.exe TALVEX_UPDATER_CONFIG 1012 menu) >/dev/null 2>&1
shot logs-menu 1 "#32768"
(cd "$bin" && "$WINE_RUN" WindowCommand.exe TALVEX_UPDATER_CONFIG 1012 cancel) >/dev/null 2>&1
(cd "$bin" && "$WINE_RUN" WindowCommand.exe TALVEX_UPDATER_CONFIG 1012 32781) >/dev/null 2>&1
shot logs-clear 1 "#32770"
(cd "$bin" && "$WINE_RUN" WindowCommand.exe "#32770" 7) >/dev/null 2>&1
click 300
stop_updater
signal user 132 0; shot disabled 3
stop_utility
dialogs ""

# 120 and 144 dots per inch (125 % and 150 %): every status and every page.
for dpi in 120 144; do
    echo "== $dpi dots per inch"
    "$WINE_RUN" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    write_config 0
    (cd "$frame" && "$WINE_RUN" ConfigSignal.exe updater 600 >/dev/null 2>&1 &)
    start_utility
    shot good-${dpi}dpi
    signal user 132 1; shot warning-${dpi}dpi
    signal user 132 2; shot critical-${dpi}dpi
    signal user 132 3; shot welcome-${dpi}dpi
    signal user 132 0
    pages "-${dpi}dpi"
    stop_updater
    signal user 132 0; shot disabled-${dpi}dpi 3
    stop_utility
    dialogs "-${dpi}dpi"
done
"$WINE_RUN" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
rm -f "$data/config.talvex" "$data/talvex.log"
service_post /control/reset

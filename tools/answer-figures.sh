#!/usr/bin/env bash
# How quickly the configuration utility (TalUpConfig) and the upgrade
# assistant (TalUpUp) answer a window message while each exchange runs
# against a server that accepts the connection and never answers: the
# utility's host-list refresh and address refresh, the assistant's version
# check (at start and on "Check Again") and its installer download. For
# each, AnswerProbe sends WM_NULL every 50 ms until the program's own
# time-out ends the exchange (or 20 s), and prints how many answers came,
# their median and worst time, and whether any took more than a second.
# Runs under a virtual X server inside the private network against the
# local Talvex service. Prints its figures; asserts nothing. Needs root and
# a built build folder (tools/build.sh).
#   tools/answer-figures.sh [BUILD_DIR]     (default build/win64)
#   ANSWER_SECONDS=N tools/answer-figures.sh  measures each row for at most N s
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/win64}" && pwd)
source "$here/session-lib.sh"
[ "${2:-}" = "--inside" ] || session_enter_display "$0" "$build"
set +e
session_start "$build" answer-service >/dev/null || exit 1
bin="$build/bin"
frame="$bin/config_frame" # the utility beside stand-ins of the other programs
data="$WINEPREFIX/drive_c/ProgramData/Talvex/Updater"
mkdir -p "$data"
password=$(/usr/bin/python3 "$here/talvex_config.py" scramble demo-pass)
limit=${ANSWER_SECONDS:-20} # the longest each row is measured

# The windows' classes and the controls pressed or watched.
config_class=TALVEX_UPDATER_CONFIG
upgrade_class=TALVEX_UPGRADE_ASSISTANT
refresh_ip=3456 refresh_hosts=5674         # links on the utility's Home page
upgrade_now=200 close=202 check_again=208 # the assistant's buttons

# probe LABEL ARGS...: one measurement by AnswerProbe, printed as a row.
probe() {
    local label=$1 line
    shift
    line=$(cd "$bin" && "$WINE_RUN" AnswerProbe.exe "$@" 2>&1 | tr -d '\r')
    echo "$line" | awk -v label="$label" '
        $1 == "answers" {
            end = $14 == "work-over" ? "over after" : $14 == "time-limit" ? "still running after" : "window gone after"
            printf "  %-34s %4d answers  median %6.1f ms  worst %8.1f ms  over 1 s: %-3s  (%s %s s)\n",
                   label, $2, $4, $7, ($10 > 0 ? "YES, " $10 " times" : "no"), end, $12
            found = 1
        }
        END { if (!found) printf "  %-34s no figures: %s\n", label, $0 }'
}
# wait_for CLASS END: until the window's work at start is over, unmeasured.
wait_for() { (cd "$bin" && "$WINE_RUN" AnswerProbe.exe "$1" 30 0 "$2") >/dev/null 2>&1; }
stop() {
    (cd "$bin" && "$WINE_RUN" taskkill /f /im "$1") >/dev/null 2>&1
    sleep 0.5
}
hang() { service_post /control/script "{\"endpoint\": \"$1\", \"mode\": \"hang\"}" >/dev/null; }

# The utility with an account, no host-list download and no version check
# at start; the proxy mode known, so an address check asks one port.
start_utility() {
    printf '[App]\r\nUsername=demo\r\nPassword=%s\r\nAuthed=1\r\nSync=0\r\nUpgrade=0\r\nLoadIcon=0\r\nStatus=0\r\nProxy=0\r\n' \
        "$password" > "$data/config.talvex"
    (cd "$frame" && "$WINE_RUN" TalUpConfig.exe >/dev/null 2>&1 &)
    wait_for $config_class usable:$refresh_ip # the address refresh at start, answered
}

echo "Answers to WM_NULL every 50 ms while the server accepts and never answers:"
service_post /control/reset >/dev/null
start_utility
hang hostlist
probe "utility: host-list refresh" $config_class $limit $refresh_hosts box
stop TalUpConfig.exe

start_utility
hang checkip
probe "utility: address refresh" $config_class $limit $refresh_ip again:$refresh_ip
stop TalUpConfig.exe
rm -f "$data/config.talvex" "$data/talvex.log"

service_post /control/reset >/dev/null
hang version
(cd "$bin" && "$WINE_RUN" TalUpUp.exe >/dev/null 2>&1 &)
probe "assistant: version check at start" $upgrade_class $limit 0 usable:$check_again
hang version
probe "assistant: version check again" $upgrade_class $limit $check_again again:$check_again
stop TalUpUp.exe

service_post /control/version '{"body": "4.0.9"}' >/dev/null
hang download
(cd "$bin" && "$WINE_RUN" TalUpUp.exe >/dev/null 2>&1 &)
probe "assistant: installer download" $upgrade_class $limit $upgrade_now again:$close
stop TalUpUp.exe
rm -f "$data/setup.exe"
service_post /control/reset >/dev/null
echo "(a row is over when the program's own time-out ends the exchange; each is measured for at most $limit s)"

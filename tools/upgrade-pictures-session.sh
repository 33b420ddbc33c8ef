#!/usr/bin/env bash
# Inside the private network and the virtual display: runs TalUpUp through
# its states and takes a picture of each (see upgrade-pictures.sh).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
source "$here/session-lib.sh"
session_start "$build" pictures-service || exit 1
out="$build/pictures"
mkdir -p "$out"
bin="$build/bin"
data="$WINEPREFIX/drive_c/ProgramData/Talvex/Updater"
mkdir -p "$data"
rm -f "$data/setup.exe"

# shot NAME: the assistant's window as out/NAME.png
shot() {
    sleep "${2:-1.5}"
    (cd "$bin" && "$WINE_RUN" ScreenShot.exe "Z:${out//\//\\}\\$1.bmp" TALVEX_UPGRADE_ASSISTANT) >/dev/null 2>&1
    /usr/bin/python3 "$here/bmp2png.py" "$out/$1.bmp" "$out/$1.png" && rm -f "$out/$1.bmp"
    echo "$out/$1.png"
}
start_assistant() { (cd "$bin" && "$WINE_RUN" TalUpUp.exe >/dev/null 2>&1 &) ; }
stop_assistant() {
    (cd "$bin" && "$WINE_RUN" taskkill /f /im TalUpUp.exe) >/dev/null 2>&1
    (cd "$bin" && "$WINE_RUN" taskkill /f /im setup.exe) >/dev/null 2>&1
    sleep 0.5
}
click() { (cd "$bin" && "$WINE_RUN" WindowCommand.exe TALVEX_UPGRADE_ASSISTANT "$1") >/dev/null 2>&1; }

service_post /control/reset
echo "== checking (the version page does not answer yet)"
service_post /control/script '{"endpoint": "version", "mode": "hang"}'
start_assistant; shot checking 3; stop_assistant
service_post /control/script/clear

echo "== offer of 4.0.9"
service_post /control/version '{"body": "4.0.9"}'
start_assistant; shot offer

echo "== downloading (a slow download server)"
# The stand-in installer of the tests, sent in about three seconds.
stub="$bin/stub_setup.exe"
service_post /control/download "{\"file\": \"$stub\", \"rate\": $(( $(stat -c %s "$stub") / 3 ))}"
click 200; shot downloading 1.5; stop_assistant

echo "== up to date"
service_post /control/version '{"body": "4.0.8"}'
start_assistant; shot up-to-date; stop_assistant

echo "== unable to connect"
service_post /control/listen '{"port": 80, "enabled": false}'
start_assistant; shot unable-to-connect; stop_assistant
service_post /control/listen '{"port": 80, "enabled": true}'

echo "== download refused (the server answers 404)"
service_post /control/version '{"body": "4.0.9"}'
service_post /control/script '{"endpoint": "download", "body": "not found", "status": 404}'
start_assistant; click 200; shot download-failed; stop_assistant

echo "== download refused (a signed installer of this very version)"
service_post /control/download "{\"file\": \"$bin/stub_setup_same.exe\"}"
start_assistant; click 200; shot download-not-newer 6; stop_assistant

for dpi in 120 144; do
    echo "== offer at $dpi dots per inch"
    "$WINE_RUN" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    start_assistant; shot offer-${dpi}dpi 2.5; stop_assistant
done
"$WINE_RUN" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
rm -f "$data/setup.exe"

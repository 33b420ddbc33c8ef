#!/usr/bin/env bash
# The demo itself, inside the private network: an installation with a demo
# account, a first pass, a changed public address, a second pass.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
source "$here/session-lib.sh"
session_start "$build" demo-service || exit 1
wine=$WINE_RUN
control=$TALVEX_CONTROL
service_post /control/reset

# Install as the installer would: the programs in one folder, the data folder.
programs="$WINEPREFIX/drive_c/Program Files/Talvex Updater"
data="$WINEPREFIX/drive_c/ProgramData/Talvex/Updater"
mkdir -p "$programs" "$data"
cp "$build/bin/TalLib.dll" "$build/bin/TalUpPs.exe" "$build/bin/TalCommand.exe" "$programs/"
rm -f "$data/talvex.log"
password=$(/usr/bin/python3 "$here/talvex_config.py" scramble demo-pass)
printf '[App]\r\nUsername=demo\r\nPassword=%s\r\nLoadIcon=0\r\n[Hosts]\r\nCount=2\r\nHost1=home.talvex-demo.test\r\nHost2=office.talvex-demo.test\r\n' \
    "$password" > "$data/config.talvex"

echo "== First pass: TalUpPs starts with the demo account (public address 203.0.113.7)"
(cd "$programs" && "$wine" TalUpPs.exe >/dev/null 2>&1 &)
for _ in $(seq 1 200); do
    grep -q "Process started" "$data/talvex.log" 2>/dev/null && break
    sleep 0.1
done

echo "== The public address changes to 203.0.113.8; command 131 runs the second pass"
service_post /control/address '{"address": "203.0.113.8"}'
(cd "$programs" && "$wine" TalCommand.exe 131 >/dev/null)
(cd "$programs" && "$wine" TalCommand.exe 18 >/dev/null)
sleep 1

echo
echo "== Log ($data/talvex.log)"
tr -d '\r' < "$data/talvex.log"
echo
echo
echo "== The configuration file (password left out)"
tr -d '\r' < "$data/config.talvex" | grep -v '^Password'
echo
echo "== Requests the service received"
/usr/bin/python3 - "$control" <<'PY'
import json, sys, urllib.request
log = json.load(urllib.request.urlopen(sys.argv[1] + "/control/requests"))["requests"]
for r in log:
    where = "https" if r["tls"] else "http"
    print(f'{where}:{r["port"]} {r["path"]}' + (f'?{r["query"]}' if r["query"] else "") + (f'  (user {r["user"]})' if r["user"] else ""))
PY

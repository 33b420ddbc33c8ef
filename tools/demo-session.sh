#!/usr/bin/env bash
# The demo itself, inside the private network: the product installed with
# its real installer into a Wine prefix, a demo account, the updater
# service's first pass, a changed public address, a second pass, and the
# uninstaller, which keeps the configuration.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
source "$here/session-lib.sh"        # service_post
source "$here/../tests/installer/installer-lib.sh"
inst_begin "$build"
"$here/start-service.sh" "$build/demo-service.log" || exit 1
service_pid=$(cat "$build/demo-service.pid")
trap 'kill "$service_pid" 2>/dev/null; inst_end' EXIT
control=http://127.0.0.1:8081
TALVEX_CONTROL=$control
inst_clean
service_post /control/reset

# The account and two hosts, as the configuration utility would store them.
mkdir -p "$DATA"
password=$(/usr/bin/python3 "$here/talvex_config.py" scramble demo-pass)
printf '[App]\r\nUsername=demo\r\nPassword=%s\r\nAuthed=1\r\nLoadIcon=0\r\n[Hosts]\r\nCount=2\r\nHost1=home.talvex-demo.test\r\nHost2=office.talvex-demo.test\r\n' \
    "$password" > "$DATA/config.talvex"

echo "== Installing: setup.exe /S /D=$PROGRAMS_WIN (the updater service starts; public address 203.0.113.7)"
inst_setup "$build/installer/setup.exe"
ls "$PROGRAMS"
echo "service: $(inst_probe service)"
inst_wait 30 sh -c "tr -d '\r' < \"$DATA/config.talvex\" | grep -q '^LastUpdate='" || echo "(no first pass)"

echo "== The public address changes to 203.0.113.8; command 131 runs the second pass"
service_post /control/address '{"address": "203.0.113.8"}'
# A small helper sends the command as the other programs do; it sits beside
# them to find the service controller.
cp "$build/bin/TalCommand.exe" "$PROGRAMS/"
"$WINE" "$PROGRAMS_WIN\\TalCommand.exe" 131 >/dev/null 2>&1
rm -f "$PROGRAMS/TalCommand.exe"
inst_wait 30 sh -c "tr -d '\r' < \"$DATA/talvex.log\" | grep -q '203.0.113.8'" || echo "(no second pass)"
sleep 1

echo "== Uninstalling silently (the configuration stays)"
inst_uninstall
echo "service: $(inst_probe service); program folder: $([ -e "$PROGRAMS" ] && echo present || echo removed)"

echo
echo "== Log ($DATA/talvex.log)"
tr -d '\r' < "$DATA/talvex.log"
echo
echo
echo "== The configuration file (password left out)"
tr -d '\r' < "$DATA/config.talvex" | grep -v '^Password'
echo
echo "== Requests the service received"
/usr/bin/python3 - "$control" <<'PY'
import json, sys, urllib.request
log = json.load(urllib.request.urlopen(sys.argv[1] + "/control/requests"))["requests"]
for r in log:
    where = "https" if r["tls"] else "http"
    print(f'{where}:{r["port"]} {r["path"]}' + (f'?{r["query"]}' if r["query"] else "") + (f'  (user {r["user"]})' if r["user"] else ""))
PY
inst_clean

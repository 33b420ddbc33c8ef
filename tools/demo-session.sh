#!/usr/bin/env bash
# The demo itself, inside the private network: an installation with a demo
# account, a first pass, a changed public address, a second pass.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
"$here/wine-prefix.sh" "$build" || exit 1
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
wine="$build/wine-run.sh"
control=http://127.0.0.1:8081

service_pid=
cleanup() {
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}
trap cleanup EXIT
wineserver -p
"$wine" cmd /c exit >/dev/null 2>&1 </dev/null
"$here/start-service.sh" "$build/demo-service.log" || exit 1
service_pid=$(cat "$build/demo-service.pid")
post() { /usr/bin/python3 -c 'import sys,urllib.request as u; print(u.urlopen(u.Request(sys.argv[1], data=sys.argv[2].encode(), method="POST")).read().decode())' "$control$1" "${2:-{\}}" >/dev/null; }
post /control/reset

# Install as the installer would: the programs in one folder, the data folder.
programs="$WINEPREFIX/drive_c/Program Files/Talvex Updater"
data="$WINEPREFIX/drive_c/ProgramData/Talvex/Updater"
mkdir -p "$programs" "$data"
cp "$build/bin/TalLib.dll" "$build/bin/TalUpPs.exe" "$build/bin/TalCommand.exe" "$programs/"
rm -f "$data/talvex.log"
password=$(/usr/bin/python3 -c 'k=b"Hq7vNe2W"; p=b"demo-pass"; print("".join("%02x" % (c ^ k[i % 8]) for i, c in enumerate(p)))')
printf '[App]\r\nUsername=demo\r\nPassword=%s\r\nLoadIcon=0\r\n[Hosts]\r\nCount=2\r\nHost1=home.talvex-demo.test\r\nHost2=office.talvex-demo.test\r\n' \
    "$password" > "$data/config.talvex"

echo "== First pass: TalUpPs starts with the demo account (public address 203.0.113.7)"
(cd "$programs" && "$wine" TalUpPs.exe >/dev/null 2>&1 &)
for _ in $(seq 1 200); do
    grep -q "Process started" "$data/talvex.log" 2>/dev/null && break
    sleep 0.1
done

echo "== The public address changes to 203.0.113.8; command 131 runs the second pass"
post /control/address '{"address": "203.0.113.8"}'
(cd "$programs" && "$wine" TalCommand.exe 131 >/dev/null)
(cd "$programs" && "$wine" TalCommand.exe 18 >/dev/null)
sleep 1

echo
echo "== Log ($data/talvex.log)"
tr -d '\r' < "$data/talvex.log"
echo
echo
echo "== Host states in the configuration file"
tr -d '\r' < "$data/config.talvex" | sed -n '/talvex-demo.test\]/,/^$/p;/^\[App\]/,/^\[/p' | grep -v '^Password'
echo
echo "== Requests the service received"
/usr/bin/python3 - "$control" <<'PY'
import json, sys, urllib.request
log = json.load(urllib.request.urlopen(sys.argv[1] + "/control/requests"))["requests"]
for r in log:
    where = "https" if r["tls"] else "http"
    print(f'{where}:{r["port"]} {r["path"]}' + (f'?{r["query"]}' if r["query"] else "") + (f'  (user {r["user"]})' if r["user"] else ""))
PY

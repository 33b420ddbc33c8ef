#!/usr/bin/env bash
# The whole upgrade, end to end: this release installed with a configuration
# and its updater (the service) running; the local service's version page
# offers the next release and serves that release's setup.exe. A copy of
# the upgrade assistant, started from a folder of the user's own, finds it,
# downloads it and runs it; the installer ignores the folder the copy
# names and upgrades the registered installation: afterwards the installed
# programs carry the next version, nothing was installed beside the copy,
# the user's configuration is as it was and the updater runs again.
#   test-upgrade.sh BUILD_DIR NEXT_SETUP_EXE NEXT_VERSION   (inside the test session, with a display)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
source "$here/installer-lib.sh"
next_setup=$2
next_version=$3
control=${TALVEX_CONTROL:-http://127.0.0.1:8081}
post() {
    /usr/bin/python3 -c 'import sys, urllib.request as u
u.urlopen(u.Request(sys.argv[1], data=sys.argv[2].encode(), method="POST")).read()' "$control$1" "${2:-{\}}"
}
inst_begin "$1"
[ -f "$next_setup" ] || { echo "FAIL  no installer of the next release at $next_setup"; exit 1; }
version=$(sed -n 's/^!define TALVEX_VERSION "\(.*\)"/\1/p' "$INST_BUILD/installer/installer_build.nsh")
inst_clean
post /control/reset

echo "== $version installed, with the demo account, the service running"
mkdir -p "$DATA"
password=$(/usr/bin/python3 "$tools/talvex_config.py" scramble demo-pass)
printf '[App]\r\nUsername=demo\r\nPassword=%s\r\nAuthed=1\r\nNotify=0\r\n[Hosts]\r\nCount=1\r\nHost1=home.talvex-demo.test\r\n' \
    "$password" > "$DATA/config.talvex"
inst_setup "$INST_BUILD/installer/setup.exe"
service_running() { [ "$(inst_probe service)" = running ]; }
check "$version service running" inst_wait 20 service_running
check "first pass made" inst_wait 20 sh -c "tr -d '\r' < \"$DATA/config.talvex\" | grep -q '^LastIP='"
# What the user set, as it must still be afterwards.
user_settings() { tr -d '\r' < "$DATA/config.talvex" | grep -E '^(Username|Password|Authed|Notify|Count|Host1)='; }
before=$(user_settings)

echo "== the assistant upgrades to $next_version"
post /control/version "{\"body\": \"$next_version\"}"
post /control/download "{\"file\": \"$next_setup\", \"content_length\": true}"
copy="$WINEPREFIX/drive_c/users/Public/TalvexCopy"
rm -rf "$copy"
mkdir -p "$copy"
cp "$PROGRAMS/TalUpUp.exe" "$PROGRAMS/TalLib.dll" "$copy/"
copy_files() { (cd "$copy" && find . | sort | tr '\n' ' '); }
copied=$(copy_files)
"$WINE" 'C:\users\Public\TalvexCopy\TalUpUp.exe' >/dev/null 2>&1 </dev/null &
assistant_shown() { [ "$(inst_probe window TALVEX_UPGRADE_ASSISTANT)" = yes ]; }
check "assistant shown" inst_wait 20 assistant_shown
# "Upgrade Now", once the version check has offered the next release.
check "upgrade offered and pressed" "$WINE" "$INST_BUILD/bin/WindowCommand.exe" TALVEX_UPGRADE_ASSISTANT 200
upgraded() { [ "$(inst_probe version "$PROGRAMS_WIN\\TalLib.dll")" = "$next_version" ]; }
check "installed TalLib carries $next_version" inst_wait 60 upgraded
check "service runs again" inst_wait 20 service_running
for name in $(inst_programs); do
    check "$name carries $next_version" test "$(inst_probe version "$PROGRAMS_WIN\\$name")" = "$next_version"
done
check "nothing was installed beside the copy" test "$(copy_files)" = "$copied"
check "listed as $next_version" inst_wait 20 sh -c "\"$WINE\" reg query '$UNINSTALL_KEY' $REG_VIEW /v DisplayVersion 2>/dev/null | grep -q '$next_version'"
check "the user's settings unchanged" test "$(user_settings)" = "$before"
check "the assistant was told to end" inst_wait 10 sh -c "! { [ \"\$(\"$WINE\" \"$INST_BUILD/bin/InstallProbe.exe\" window TALVEX_UPGRADE_ASSISTANT | tr -d '\r')\" = yes ]; }"
check "the installer came over TLS" /usr/bin/python3 -c '
import json, sys, urllib.request
log = json.load(urllib.request.urlopen(sys.argv[1] + "/control/requests?path=/windows/TalUpSetup.exe"))["requests"]
sys.exit(0 if log and all(r["tls"] for r in log) else 1)' "$control"
echo "-- log"
tr -d '\r' < "$DATA/talvex.log"
echo

inst_clean
rm -rf "$copy"
post /control/reset
exit $((INST_FAILURES > 0))

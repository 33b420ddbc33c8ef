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
# The first pass is over once its update was answered and its end written
# (LastUpdate comes last, with Status): only then is the file the pass's.
update_answered() {
    /usr/bin/python3 -c 'import json, sys, urllib.request
sys.exit(0 if json.load(urllib.request.urlopen(sys.argv[1] + "/control/requests?path=/nic/update"))["requests"] else 1)' "$control" &&
        tr -d '\r' < "$DATA/config.talvex" | grep -q '^LastUpdate='
}
check "first pass made" inst_wait 30 update_answered
# What the user set, as it must still be afterwards.
user_settings() { tr -d '\r' < "$DATA/config.talvex" | grep -E '^(Username|Password|Authed|Notify|Count|Host1)='; }
before=$(user_settings)

echo "== the assistant upgrades to $next_version"
check "the next release offered" post /control/version "{\"body\": \"$next_version\"}"
check "its installer served" post /control/download "{\"file\": \"$next_setup\", \"content_length\": true}"
# What the assistant will read, read first: the version page as the
# private network answers it.
version_page() {
    /usr/bin/python3 -c 'import sys, urllib.request
sys.stdout.write(urllib.request.urlopen(sys.argv[1], timeout=10).read().decode())' \
        "http://$(sed -n 's/^#define TALVEX_HOST_WWW "\(.*\)"/\1/p' "$INST_BUILD/common/talvex_settings.h")/support/clients/talvex-updater-winv4-current-version.html"
}
check "the version page offers $next_version" test "$(version_page)" = "$next_version"
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
# The programs are read only once the installer has ended: a probe that
# reads a file's version holds the file the moment it reads it, as a virus
# scanner would, while the installer replaces it. The assistant ends once
# the installer it started has ended.
assistant_gone() { [ "$(inst_probe window TALVEX_UPGRADE_ASSISTANT)" = no ]; }
check "the installer ran to its end, and the assistant with it" inst_wait 120 assistant_gone
check "listed as $next_version" sh -c "\"$WINE\" reg query '$UNINSTALL_KEY' $REG_VIEW /v DisplayVersion 2>/dev/null | grep -q '$next_version'"
check "service runs again" inst_wait 20 service_running
for name in $(inst_programs); do
    check "$name carries $next_version" test "$(inst_probe version "$PROGRAMS_WIN\\$name")" = "$next_version"
done
check "nothing was installed beside the copy" test "$(copy_files)" = "$copied"
check "the user's settings unchanged" test "$(user_settings)" = "$before"
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

#!/usr/bin/env bash
# Where the elevated uninstaller runs. Started from the administrator's own
# %TEMP%, which his unelevated programs may write, NSIS's copy of it and the
# helper it unpacks could be replaced between their writing and their
# start. The uninstall entry starts it in place, in the program folder; it
# unpacks there, copies itself into a folder of the system's temporary
# folder that only Administrators may use and continues from that copy,
# which an interactive uninstall keeps at its first page long enough to
# be read. A copy told it is one anywhere else is refused.
#   test-uninstall.sh BUILD_DIR   (inside the test session, with a display)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/installer-lib.sh"
inst_begin "$1"
setup="$INST_BUILD/installer/setup.exe"
probe() { "$WINE" "$INST_BUILD/bin/InstallProbe.exe" "$@" 2>/dev/null | tr -d '\r'; }
entry() { "$WINE" reg query "$UNINSTALL_KEY" $REG_VIEW /v "$1" 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }
copy_path() { probe running "$INST_COPIES" | grep -iE '^C:\\windows\\temp\\TalvexSetup\.[0-9.]+\\Uninstall\.exe$'; }
copy_running() { [ -n "$(copy_path)" ]; }
no_copy_running() { [ -z "$(copy_path)" ]; }
# Whether the files Windows deletes when it next starts include this one.
deleted_at_restart() {
    "$WINE" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null |
        tr -d '\r' | grep -qiF "$1"
}
inst_clean
inst_setup "$setup"
# The uninstallers NSIS copied into the user's %TEMP% before (an entry
# without _?=) are left there by NSIS: start without them.
find "$WINEPREFIX/drive_c/users" -name '~nsu*.tmp' -prune -exec rm -rf {} +

echo "== the uninstall entry runs the uninstaller in place, then from its own copy"
check "the entries start it in place" test "$(entry UninstallString)" = "\"$PROGRAMS_WIN\\Uninstall.exe\" _?=$PROGRAMS_WIN" \
    -a "$(entry QuietUninstallString)" = "\"$PROGRAMS_WIN\\Uninstall.exe\" /S _?=$PROGRAMS_WIN"
inst_run "$(entry UninstallString)"
check "in place it ends with 0 once its copy runs" test $? -eq 0
check "the copy runs from a folder of the system's temporary folder, and waits at its first page" inst_wait 30 copy_running
copy=$(copy_path | head -n 1)
check "nothing of it was made in the user's temporary folder" test -z "$(find "$WINEPREFIX/drive_c/users" -iname '~nsu*.tmp')"
# The page is shown once the copy has checked where it runs and left its
# folder to the next start.
check "Cancel on its page ends it" "$WINE" "$INST_BUILD/bin/WindowCommand.exe" '#32770' 2
check "the copy has ended" inst_wait 30 no_copy_running
check "and removed nothing" test -f "$PROGRAMS/TalLib.dll" -a -f "$PROGRAMS/Uninstall.exe"
check "its folder is left to be deleted when Windows next starts" deleted_at_restart "${copy%\\*}"

echo "== an uninstaller that says it is its own copy is believed only in a copy's folder"
inst_run "\"$PROGRAMS_WIN\\Uninstall.exe\" /S /OWNCOPY _?=$PROGRAMS_WIN"
check "in the program folder it is refused with exit code 2" test $? -eq 2
check "and removes nothing" test -f "$PROGRAMS/TalLib.dll"

echo "== the silent uninstall through its entry"
inst_run "$(entry QuietUninstallString)"
check "in place it ends with 0" test $? -eq 0
check "its copy removes the program folder and ends" inst_wait 30 inst_uninstalled "$PROGRAMS"
check "nothing of it was made in the user's temporary folder" test -z "$(find "$WINEPREFIX/drive_c/users" -iname '~nsu*.tmp')"

inst_clean
exit $((INST_FAILURES > 0))

#!/usr/bin/env bash
# The installer in a Wine prefix of its own: a silent installation into a
# named folder leaves the programs, the data folder, the running service,
# the menu entries and the uninstall entry; installing again over it keeps
# the configuration and restarts the service, and a service change the
# system refuses leaves the old installation as it ran; an older data tree
# is made anew with nothing carried through a link or a second name; the
# silent uninstaller removes everything but the configuration, unless asked
# to remove it too, and the program folder every time.
#   test-install.sh BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/installer-lib.sh"
inst_begin "$1"
setup="$INST_BUILD/installer/setup.exe"
inst_clean

# Before the installation a user made the data folder a link to a folder of
# his own. Under Wine a Unix symbolic link stands for a junction: Wine
# reports it as a reparse point, but opens, renames and removes what it
# leads to, never the link itself, so the installer can only refuse it
# there (Windows moves a junction itself aside, like the file below).
planted="$INST_BUILD/planted-data"
rm -rf "$planted"
mkdir -p "$planted/Updater"
printf '[App]\r\nUsername=planted\r\n' > "$planted/Updater/config.talvex"
vendor="$WINEPREFIX/drive_c/ProgramData/Talvex"
ln -s "$planted" "$vendor"
planted_files() { (cd "$planted" && find . | sort | tr '\n' ' '); }

echo "== installation over a data folder planted as a link"
"$WINE" cmd /c "$(winpath "$setup") /S /D=$PROGRAMS_WIN" >/dev/null 2>&1 </dev/null
check "the installation stops with exit code 2" test $? -eq 2
check "nothing was installed" test ! -e "$PROGRAMS/TalLib.dll"
check "nothing was written through the link" test "$(planted_files)" = ". ./Updater ./Updater/config.talvex "
rm -f "$vendor"

# A prepared configuration as the utility saves one, and one that is not.
prepared="$INST_BUILD/prepared.talvex"
printf '[App]\r\nUsername=fleet-user\r\nPassword=%s\r\nAuthed=1\r\nNotify=0\r\nStatus=2\r\nLastIP=198.51.100.9\r\n[Hosts]\r\nCount=2\r\nHost1=home.talvex.test\r\nHost2=work.talvex.test\r\n[home.talvex.test]\r\nIP=198.51.100.9\r\n' \
    0a1b2c3d4e5f60718293 > "$prepared"
malformed="$INST_BUILD/malformed.talvex"
printf '[App]\r\nUsername=fleet-user\r\nthis is no configuration\r\n' > "$malformed"
setup_with_config() {
    "$WINE" cmd /c "$(winpath "$setup") /S /CONFIG=$(winpath "$1") /D=$PROGRAMS_WIN" >/dev/null 2>&1 </dev/null
}

echo "== a prepared configuration that is malformed or missing is refused before anything is installed"
setup_with_config "$malformed"
check "a malformed one ends the installation with exit code 2" test $? -eq 2
setup_with_config "$INST_BUILD/no-such.talvex"
check "a missing one ends the installation with exit code 2" test $? -eq 2
# (Wine shows no symbolic link to a file as one: a second name stands for it.)
ln -f "$prepared" "$INST_BUILD/second-name.talvex"
setup_with_config "$INST_BUILD/second-name.talvex"
check "a second name of a good one ends the installation with exit code 2" test $? -eq 2
rm -f "$INST_BUILD/second-name.talvex"
check "nothing was installed" test ! -e "$PROGRAMS/TalLib.dll" -a ! -e "$DATA"

echo "== silent installation into a fresh prefix, where a file stands in place of the data folder"
printf 'planted' > "$vendor"
inst_setup "$setup" "$PROGRAMS_WIN\\"
check "the file was moved aside" sh -c 'for moved in "$1".moved-*; do test -f "$moved" && exit 0; done; exit 1' - "$vendor"
check "a real data folder was made in its place" sh -c 'test -d "$1" -a ! -L "$1" -a -d "$2" -a ! -L "$2"' - "$vendor" "$DATA"
check "the configuration, its journal, the log and the lock file were made" test -f "$DATA/config.talvex" -a -f "$DATA/config.talvex.journal" -a -f "$DATA/talvex.log" -a -f "$DATA/talvex.lock"
for name in $(inst_programs); do
    check "$name installed" test -f "$PROGRAMS/$name"
    check "$name carries the product version" test "$(inst_probe version "$PROGRAMS_WIN\\$name")" = "$(
        sed -n 's/^!define TALVEX_VERSION "\(.*\)"/\1/p' "$INST_BUILD/installer/installer_build.nsh")"
done
check "uninstaller written" test -f "$PROGRAMS/Uninstall.exe"
cert=$(sed -n 's/^TALVEX_SIGN_CERT:FILEPATH=//p' "$INST_BUILD/CMakeCache.txt")
[ -n "$cert" ] || cert="$INST_BUILD/signing/publisher.crt" # a development build's own
signed_by_publisher() { osslsigncode verify -CAfile "$cert" -in "$1" >/dev/null 2>&1; }
check "uninstaller signed by the publisher" signed_by_publisher "$PROGRAMS/Uninstall.exe"
check "data folder created" test -d "$DATA"
check "service registered for TalUpSvc" sh -c "\"$WINE\" reg query 'HKLM\\System\\CurrentControlSet\\Services\\Talvex Updater' /v ImagePath 2>/dev/null | grep -qi 'Talvex Updater.TalUpSvc.exe'"
check "service started" inst_wait 10 sh -c "[ \"\$(\"$WINE\" \"$INST_BUILD/bin/InstallProbe.exe\" service | tr -d '\r')\" = running ]"
check "menu entries" test -f "$MENU/Talvex Upgrade Assistant.lnk" -a -f "$MENU/Uninstall Talvex Updater.lnk"
# Wine keeps the account but neither the service's identity type, nor its
# privileges, nor rights on files: what the system keeps is read back
# (never proved by a refusal), and "not kept" stands for the rest.
least_rights() {
    local rights
    rights=$(inst_probe rights)
    printf '%s\n' "$rights" | grep -qx 'account NT AUTHORITY\\LocalService' &&
        printf '%s\n' "$rights" | grep -qxE 'sid-type (1|not kept)' &&
        printf '%s\n' "$rights" | grep -qxE 'privileges (SeChangeNotifyPrivilege|not kept)'
}
check "service runs as LocalService with its own identity and one privilege" least_rights
check "data folder rights name users and the service" \
    sh -c "case \"\$1\" in as-shared|'not kept') ;; *) exit 1 ;; esac" - "$(inst_probe folder 'C:\ProgramData\Talvex')"
check "listed among installed programs" sh -c "\"$WINE\" reg query '$UNINSTALL_KEY' $REG_VIEW /v UninstallString >/dev/null 2>&1"
# Wine keeps the description; the recovery actions it accepts but cannot
# give back, so they are read from the source by a reviewer on Windows.
check "the service describes itself" test "$(inst_probe description)" = \
    "Keeps the DNS records of the host names selected from a Talvex account pointed at the public address of this computer."
EVENT_KEY='HKLM\System\CurrentControlSet\Services\EventLog\Application\Talvex Updater'
event_source() { "$WINE" reg query "$EVENT_KEY" /v EventMessageFile 2>/dev/null | grep -qi 'Talvex Updater.TalLib.dll'; }
check "the Event Log source names TalLib.dll as its message file" event_source
# Every identifier the README gives administrators formats to text.
event_ids=$(sed -n '/^#### Event Log/,/^###* [^E]/s/^| \([0-9][0-9]*\) |.*/\1/p' "$here/../../README.md")
check "the README lists the event identifiers" test "$(echo $event_ids | wc -w)" -ge 10
message_formats() { local m; m=$(inst_probe message "$PROGRAMS_WIN\\TalLib.dll" "$1"); [ -n "$m" ] && [ "$m" != none ]; }
for id in $event_ids; do
    check "event $id has its message in TalLib.dll" message_formats "$id"
done

echo "== installing again over the running installation, left by an older release as LocalSystem"
printf '[App]\r\nUsername=someone\r\nNotify=0\r\n' > "$DATA/config.talvex"
before=$(md5sum < "$DATA/config.talvex")
check "service made as older releases left it" "$WINE" "$INST_BUILD/bin/InstallProbe.exe" legacy
older_account() { inst_probe rights | grep -qx 'account LocalSystem'; }
check "service now runs as LocalSystem" older_account
inst_setup "$setup"
check "the upgrade gave it the least rights" least_rights
check "configuration untouched" test "$(md5sum < "$DATA/config.talvex")" = "$before"
check "service runs again" inst_wait 10 sh -c "[ \"\$(\"$WINE\" \"$INST_BUILD/bin/InstallProbe.exe\" service | tr -d '\r')\" = running ]"
check "service was stopped for the replacement" sh -c "tr -d '\r' < \"$DATA/talvex.log\" | grep -q 'Service stopped'"

echo "== a service change the system refuses leaves the old installation as it ran"
# Only LocalSystem may run a service that interacts with the desktop: the
# system refuses the service's own account, and the upgrade must stop
# before it has replaced anything.
check "service made interactive, as an older release might have left it" \
    "$WINE" "$INST_BUILD/bin/InstallProbe.exe" legacy-interactive
printf 'old' >> "$PROGRAMS/TalLib.dll"   # tells the old file from the new one
program_files() { (cd "$PROGRAMS" && md5sum -- * | sort); }
before_files=$(program_files)
"$WINE" cmd /c "$(winpath "$setup") /S /D=$PROGRAMS_WIN" >/dev/null 2>&1 </dev/null
check "the installation stops with exit code 2" test $? -eq 2
check "no program file was replaced" test "$(program_files)" = "$before_files"
check "the service runs again" inst_wait 10 sh -c "[ \"\$(\"$WINE\" \"$INST_BUILD/bin/InstallProbe.exe\" service | tr -d '\r')\" = running ]"
check "under the account it had" older_account
"$WINE" "$INST_BUILD/bin/InstallProbe.exe" legacy >/dev/null 2>&1
inst_setup "$setup"
check "once the system allows the change, the upgrade makes it" least_rights
check "and replaces the files" cmp -s "$PROGRAMS/TalLib.dll" "$INST_BUILD/bin/TalLib.dll"

echo "== an older data tree that a user holds open makes the upgrade stop with the old files in place"
# Under Wine every data tree reads as an older installation's (no rights
# are kept), so each installation moves it aside and makes it anew; the
# folder held open without sharing deletion keeps it from being moved
# (Windows refuses as well while a file in it is so held; Wine does not).
printf 'old' >> "$PROGRAMS/TalLib.dll"
before_files=$(program_files)
moved_trees() { ls -d "$vendor".moved-* 2>/dev/null | wc -l; }
trees_before=$(moved_trees)
held="$(mktemp)"
"$WINE" "$INST_BUILD/bin/InstallProbe.exe" open 'C:\ProgramData\Talvex' 60 >"$held" 2>/dev/null </dev/null &
holder=$!
check "a process holds the data folder open" inst_wait 10 sh -c "tr -d '\r' < \"\$1\" | grep -qx held" - "$held"
"$WINE" cmd /c "$(winpath "$setup") /S /D=$PROGRAMS_WIN" >/dev/null 2>&1 </dev/null
check "the installation stops with exit code 2" test $? -eq 2
check "no program file was replaced" test "$(program_files)" = "$before_files"
check "the tree was neither moved nor kept as new" test "$(moved_trees)" = "$trees_before"
check "the service runs again" inst_wait 10 sh -c "[ \"\$(\"$WINE\" \"$INST_BUILD/bin/InstallProbe.exe\" service | tr -d '\r')\" = running ]"
kill $holder 2>/dev/null; wait $holder 2>/dev/null
check "the holder let go" inst_wait 10 "$WINE" "$INST_BUILD/bin/InstallProbe.exe" free 'C:\ProgramData\Talvex'
rm -f "$held"
inst_setup "$setup"
check "once nothing holds it, the upgrade makes the tree anew and replaces the files" \
    sh -c 'cmp -s "$1" "$2" && [ "$(ls -d "$3".moved-* | wc -l)" -gt "$4" ]' - "$PROGRAMS/TalLib.dll" "$INST_BUILD/bin/TalLib.dll" "$vendor" "$trees_before"

echo "== a program file still held by a process that is slow to end"
printf 'old' >> "$PROGRAMS/TalLib.dll"   # tells the old file from the new one
held="$(mktemp)"
"$WINE" "$INST_BUILD/bin/InstallProbe.exe" hold "$PROGRAMS_WIN\\TalLib.dll" 20 >"$held" 2>/dev/null </dev/null &
holder=$!
# The probe says "held" once the file is loaded.
check "a process holds the old file" inst_wait 10 sh -c "tr -d '\r' < \"\$1\" | grep -qx held" - "$held"
inst_setup "$setup"
check "it is set aside" test -e "$PROGRAMS/TalLib.dll.old"
check "the new file is written in its place" cmp -s "$PROGRAMS/TalLib.dll" "$INST_BUILD/bin/TalLib.dll"
kill $holder 2>/dev/null; wait $holder 2>/dev/null
rm -f "$held"
rm -f "$PROGRAMS/TalLib.dll.old"

echo "== a program file another program keeps from being written and moved cannot be replaced: said, not skipped"
printf 'old' >> "$PROGRAMS/TalLib.dll"
held="$(mktemp)"
"$WINE" "$INST_BUILD/bin/InstallProbe.exe" lock "$PROGRAMS_WIN\\TalLib.dll" 30 >"$held" 2>/dev/null </dev/null &
holder=$!
check "a process holds the file open" inst_wait 10 sh -c "tr -d '\r' < \"\$1\" | grep -qx held" - "$held"
inst_setup "$setup"
check "the installation stops with exit code 2 rather than leave the old file" test $? -eq 2
check "the old file is still there" sh -c '! cmp -s "$1" "$2"' - "$PROGRAMS/TalLib.dll" "$INST_BUILD/bin/TalLib.dll"
kill $holder 2>/dev/null; wait $holder 2>/dev/null
check "the holder let go" inst_wait 10 "$WINE" "$INST_BUILD/bin/InstallProbe.exe" free "$PROGRAMS_WIN\\TalLib.dll"
rm -f "$held"
inst_setup "$setup"
check "once it is let go, the next installation replaces it" cmp -s "$PROGRAMS/TalLib.dll" "$INST_BUILD/bin/TalLib.dll"

echo "== an installation whose updater is the process keeps it"
"$WINE" sc stop "Talvex Updater" >/dev/null 2>&1
inst_wait 10 sh -c "[ \"\$(\"$WINE\" \"$INST_BUILD/bin/InstallProbe.exe\" service | tr -d '\r')\" = stopped ]"
"$WINE" sc delete "Talvex Updater" >/dev/null 2>&1
: > "$DATA/talvex.log"
"$WINE" "$PROGRAMS_WIN\\TalUpPs.exe" >/dev/null 2>&1 </dev/null &
process_runs() { [ "$(inst_probe window TALVEX_UPDATER_MSG)" = yes ]; }
check "process updater started" inst_wait 10 process_runs
inst_setup "$setup"
check "no service registered over it" test "$(inst_probe service)" = absent
check "process updater runs again" inst_wait 10 process_runs
# "Process started." follows the restarted updater's first pass.
restarted_once() { [ "$(tr -d '\r' < "$DATA/talvex.log" | grep -c 'Process started')" = 2 ]; }
check "process updater was restarted" inst_wait 10 restarted_once

echo "== silent uninstallation, while a program of the suite runs where no window of it can be found"
# As a notification icon of another signed-in user's session would: a
# program of the folder with no window on the uninstaller's desktop (the
# probe in the place of TalUpControl.exe, keeping TalLib.dll loaded).
cp "$INST_BUILD/bin/InstallProbe.exe" "$PROGRAMS/TalUpControl.exe"
other_session="$(mktemp)"
"$WINE" "$PROGRAMS_WIN\\TalUpControl.exe" hold "$PROGRAMS_WIN\\TalLib.dll" 120 >"$other_session" 2>/dev/null </dev/null &
other=$!
check "the program runs from the folder" inst_wait 10 sh -c "tr -d '\r' < \"\$1\" | grep -qx held" - "$other_session"
check "uninstaller ends, the program folder gone" inst_uninstall
ended() { [ ! -e "/proc/$1" ] || grep -q '^State:.Z' "/proc/$1/status"; } # gone, or a zombie not yet waited for
check "the program was ended" inst_wait 10 ended $other
wait $other 2>/dev/null
rm -f "$other_session"
check "service removed" test "$(inst_probe service)" = absent
check "programs removed" test ! -e "$PROGRAMS"
check "menu entries removed" test ! -e "$MENU"
check "uninstall entry removed" sh -c "! \"$WINE\" reg query '$UNINSTALL_KEY' $REG_VIEW >/dev/null 2>&1"
check "the Event Log source removed" sh -c "! \"$WINE\" reg query '$EVENT_KEY' >/dev/null 2>&1"
check "configuration kept" sh -c "tr -d '\r' < \"$DATA/config.talvex\" | grep -qx 'Username=someone'"

echo "== the uninstaller deletes nothing through a link in place of the data folder"
inst_setup "$setup"
mv "$DATA" "$DATA.real"
ln -s "$planted/Updater" "$DATA"
: > "$planted/Updater/setup.exe"
before=$(planted_files)
check "the uninstaller ends, the program folder gone" inst_uninstall /REMOVECONFIG
check "what the link leads to is all there" test "$(planted_files)" = "$before"
rm -f "$DATA"
mv "$DATA.real" "$DATA"

# Wine keeps no rights on files, so every tree reads as an older
# installation's there and is made anew at each installation: what is
# carried over is read through folders that are no link, from files with
# one name. (Wine reports a symbolic link at a name as a reparse point.)
echo "== an older data tree is made anew; nothing is carried through a second name or a link"
inst_setup "$setup"
# The service would log its stop through the planted names before the
# installer runs: it is stopped first (nobody could plant them on Windows).
"$WINE" sc stop "Talvex Updater" >/dev/null 2>&1
inst_wait 10 sh -c "[ \"\$(\"$WINE\" \"$INST_BUILD/bin/InstallProbe.exe\" service | tr -d '\r')\" = stopped ]"
secret="$INST_BUILD/not-the-configuration.txt"
printf 'secret' > "$secret"
rm -f "$DATA/config.talvex" "$DATA/talvex.log"
ln "$secret" "$DATA/config.talvex"      # a second name of another file
ln -s "$secret" "$DATA/talvex.log"      # a link at the file's name
rm -rf "$WINEPREFIX/drive_c/ProgramData/Talvex".moved-*
inst_setup "$setup"
check "the old tree was moved aside" sh -c 'for moved in "$1".moved-*; do test -d "$moved/Updater" && exit 0; done; exit 1' - "$vendor"
check "the configuration is new and holds nothing of the other file" \
    sh -c 'test -f "$1" -a ! -L "$1" && [ "$(stat -c %h "$1")" = 1 ] && ! grep -q secret "$1"' - "$DATA/config.talvex"
check "so is the log" sh -c 'test -f "$1" -a ! -L "$1" && [ "$(stat -c %h "$1")" = 1 ] && ! grep -q secret "$1"' - "$DATA/talvex.log"
check "the other file is as it was" test "$(cat "$secret")" = secret
# The data folder itself a link to a folder of the user's, with a configuration of his.
mv "$DATA" "$DATA.real"
ln -s "$planted/Updater" "$DATA"
before=$(planted_files)
inst_setup "$setup"
check "a real data folder was made in its place" sh -c 'test -d "$1" -a ! -L "$1"' - "$DATA"
check "nothing was carried through the link" sh -c '! grep -q planted "$1"' - "$DATA/config.talvex"
check "what the link leads to is all there" test "$(planted_files)" = "$before"
rm -rf "$DATA.real" "$secret"
check "the uninstaller ends, the program folder gone" inst_uninstall

echo "== uninstallation asked to remove the configuration"
inst_setup "$setup"
check "the uninstaller ends, the program folder gone" inst_uninstall /REMOVECONFIG
check "data folder removed" test ! -e "$DATA"
rm -rf "$planted"

echo "== a silent installation with a prepared configuration"
setup_with_config "$prepared"
check "it ends with exit code 0" test $? -eq 0
# The service it started writes the file after its pass: read it stopped.
"$WINE" sc stop "Talvex Updater" >/dev/null 2>&1
inst_wait 10 sh -c "[ \"\$(\"$WINE\" \"$INST_BUILD/bin/InstallProbe.exe\" service | tr -d '\r')\" = stopped ]"
config_has() { tr -d '\r' < "$DATA/config.talvex" | grep -qx "$1"; }
check "the account is in config.talvex" config_has 'Username=fleet-user'
check "the password as it was prepared" config_has 'Password=0a1b2c3d4e5f60718293'
check "the hosts are selected" sh -c 'tr -d "\r" < "$1" | grep -q "^Count=2$" && tr -d "\r" < "$1" | grep -q "^Host2=work.talvex.test$"' - "$DATA/config.talvex"
check "the option is taken" config_has 'Notify=0'
check "the preparing machine's own records are not" sh -c '! tr -d "\r" < "$1" | grep -qE "^(LastIP|IP)=198.51.100.9$"' - "$DATA/config.talvex"

echo "== a prepared configuration changed after its check: what was checked is applied"
# The installer's helper, step by step as the installer runs it: the file
# is replaced by another good one between the check and the apply.
checked="$INST_BUILD/checked.talvex"
rm -f "$checked"
"$WINE" "$INST_BUILD/bin/TalSetupHelper.exe" check-config "$(winpath "$prepared")" "$(winpath "$checked")" >/dev/null 2>&1 </dev/null
check "the check passes" test $? -eq 0
sed -i 's/fleet-user/changed-user/' "$prepared"
"$WINE" "$INST_BUILD/bin/TalSetupHelper.exe" apply-config "$(winpath "$checked")" "$PROGRAMS_WIN\\TalLib.dll" >/dev/null 2>&1 </dev/null
check "it is applied" test $? -eq 0
check "the account checked is the one written" sh -c 'config_has() { tr -d "\r" < "$1" | grep -qx "$2"; }; config_has "$1" Username=fleet-user && ! grep -q changed-user "$1"' - "$DATA/config.talvex"
rm -f "$checked"
inst_uninstall /REMOVECONFIG
rm -f "$prepared" "$malformed"

echo "== an installer started from the user's download folder runs from its own copy"
# The user may change his download folder: the first stage (setup.exe)
# writes the installer it carries into a folder of the system's temporary
# folder that only Administrators may use, checks it there, runs it with
# that folder as its TEMP, and removes the folder when it has ended. The
# NSIS installer run by itself (setup-payload.exe) copies itself there as
# before. The copy records where it ran in the uninstall entry, and runs
# only when the helper it unpacked first lies in its folder too (below).
download="$INST_BUILD/download"
system_temp="$WINEPREFIX/drive_c/windows/temp"
payload="$INST_BUILD/installer/setup-payload.exe"
rm -rf "$download"
mkdir -p "$download"
cp "$setup" "$download/setup.exe"
cp "$payload" "$download/setup-payload.exe"
# Without its own signature the first stage refuses to start. What guards
# against a setup.exe swapped after the consent prompt is the check of the
# installer it carries: a first stage signed as ever around an installer
# that is not the publisher's never runs it.
osslsigncode remove-signature -in "$setup" -out "$download/unsigned.exe" >/dev/null 2>&1
cp "$INST_BUILD/bin/setup-unsigned-payload.exe" "$download/unsigned-payload.exe"
printf '[App]\r\nUsername=fleet-user\r\nthis is no configuration\r\n' > "$download/malformed.talvex"
ran_from() { "$WINE" reg query "$UNINSTALL_KEY" $REG_VIEW /v InstallSource 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }
no_copy_left() { ! ls -d "$system_temp"/TalvexSetup.* >/dev/null 2>&1; }
# installer | extra options | exit code | installed from its copy (1) or not at all (0)
while IFS='|' read -r program options code installed; do
    inst_clean
    "$WINE" cmd /c "$(winpath "$download/$program") /S $options /D=$PROGRAMS_WIN" >/dev/null 2>&1 </dev/null
    check "$program $options ends with exit code $code" test $? -eq "$code"
    if [ "$installed" = 1 ]; then
        check "it ran from its own copy in the system's temporary folder, its helper unpacked there" \
            sh -c 'printf "%s\n" "$1" | grep -qiE "^C:\\\\windows\\\\temp\\\\TalvexSetup\.[0-9.]+$"' - "$(ran_from)"
        check "the programs were installed" test -f "$PROGRAMS/TalLib.dll"
    else
        check "nothing was installed" test ! -e "$PROGRAMS/TalLib.dll" -a -z "$(ran_from)"
    fi
    check "the copy's folder is gone" no_copy_left
done <<EOF_CASES
setup.exe||0|1
setup.exe|/CONFIG=$(winpath "$download/malformed.talvex")|2|0
setup-payload.exe||0|1
unsigned.exe||2|0
unsigned-payload.exe||2|0
EOF_CASES
# A copy told it is one is believed only in a folder the installer made.
"$WINE" cmd /c "$(winpath "$download/setup-payload.exe") /S /OWNCOPY /D=$PROGRAMS_WIN" >/dev/null 2>&1 </dev/null
check "an installer that says it is its own copy elsewhere is refused with exit code 2" test $? -eq 2
check "and installs nothing" test ! -e "$PROGRAMS/TalLib.dll"
# ... and only when what it unpacks lies in that folder: started with the
# administrator's own TEMP, as an installer run without its first stage
# would be, its helper would lie where his unelevated programs may write.
elsewhere="$system_temp/TalvexSetup.0.0"
mkdir -p "$elsewhere"
cp "$payload" "$elsewhere/setup.exe"
"$WINE" cmd /c "C:\\windows\\temp\\TalvexSetup.0.0\\setup.exe /S /OWNCOPY /D=$PROGRAMS_WIN" >/dev/null 2>&1 </dev/null
check "a copy whose helper was unpacked outside its folder is refused with exit code 2" test $? -eq 2
check "and installs nothing" test ! -e "$PROGRAMS/TalLib.dll"
rm -rf "$download" "$elsewhere"
inst_clean

echo "== the program folder's own rights, outside Program Files"
tools_win='C:\Tools\Talvex Updater'
tools="$WINEPREFIX/drive_c/Tools/Talvex Updater"
rm -rf "$WINEPREFIX/drive_c/Tools"
# Whether a DACL read back lets nobody but SYSTEM, Administrators and the
# one account Wine has add, delete or re-permission anything. (Wine keeps
# the rights as the folder's mode: the protection from inheritance is not
# read back, and what a folder inherits is its mode's.)
no_user_may_write() {
    /usr/bin/python3 - "$1" "$2" <<'PY'
import re, sys
dacl, owner = sys.argv[1], sys.argv[2]
trusted = {"SY", "BA", owner, "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"}
letters = {"GA": 0x1F01FF, "GW": 0x120116, "FA": 0x1F01FF, "FW": 0x120116, "SD": 0x10000, "WD": 0x40000,
           "WO": 0x80000, "DC": 0x40, "CC": 0x1, "LC": 0x4, "SW": 0x2}
change = 0x2 | 0x4 | 0x40 | 0x10000 | 0x40000 | 0x80000
if not dacl.startswith("D:"):
    sys.exit(1)
for kind, flags, rights, sid in re.findall(r"\(([A-Z]+);([A-Z]*);([^;]*);[^;]*;[^;]*;([^)]*)\)", dacl):
    mask = int(rights, 16) if rights.startswith("0x") else sum(letters.get(rights[i:i + 2], 0) for i in range(0, len(rights), 2))
    if kind == "A" and sid not in trusted and mask & change:
        sys.exit(1)
PY
}
me=$(inst_probe owner 'C:\windows\system32')
# A folder above it that users may change: the tree could be renamed away
# and another put in its place.
mkdir -p "$WINEPREFIX/drive_c/Tools"
chmod 777 "$WINEPREFIX/drive_c/Tools"
"$WINE" cmd /c "$(winpath "$setup") /S /D=$tools_win" >/dev/null 2>&1 </dev/null
check "under a folder users may change it is refused with exit code 2" test $? -eq 2
check "and nothing was made under that folder" test ! -e "$tools"
rm -rf "$WINEPREFIX/drive_c/Tools"
mkdir -p "$tools"
chmod 777 "$tools"
printf 'not ours' > "$tools/version.dll"
"$WINE" cmd /c "$(winpath "$setup") /S /D=$tools_win" >/dev/null 2>&1 </dev/null
check "a folder users may write, holding a file of someone's, is refused with exit code 2" test $? -eq 2
check "nothing was installed there" test ! -e "$tools/TalLib.dll" -a "$(cat "$tools/version.dll")" = 'not ours'
rm -rf "$WINEPREFIX/drive_c/Tools"
inst_setup "$setup" "$tools_win"
check "installed into the folder named" test -f "$tools/TalLib.dll"
check "its DACL lets no user write" no_user_may_write "$(inst_probe dacl "$tools_win")" "$me"
check "nor does the folder above it, which the installer made" no_user_may_write "$(inst_probe dacl 'C:\Tools')" "$me"
inst_setup "$setup" "$tools_win"
check "after an upgrade too" no_user_may_write "$(inst_probe dacl "$tools_win")" "$me"
# Started as an older installation's entry starts it, without _?=: NSIS's
# own copy hands over to the uninstaller in place.
"$WINE" "$tools_win\\Uninstall.exe" /S /REMOVECONFIG >/dev/null 2>&1 </dev/null
check "the uninstaller removes it" inst_wait 30 inst_uninstalled "$tools"
rm -rf "$WINEPREFIX/drive_c/Tools"

inst_clean
exit $((INST_FAILURES > 0))

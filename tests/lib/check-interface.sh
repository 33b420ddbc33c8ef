#!/usr/bin/env bash
# TalLib.dll exports exactly the published interface: every function the
# programs of the suite may call, by its undecorated name, and nothing else.
# The list is written out here on purpose, apart from TalLib.def, so that a
# name dropped from or added to the .def file by mistake is caught.
# Usage: check-interface.sh TALLIB_DLL...
set -uo pipefail
published="
GetFolder_Data GetFolder_EXEDir GetFile_INIFile
Profile_WriteText Profile_ReadText Profile_ReadInt Profile_BeginBatch Profile_CommitBatch Profile_EndBatch Profile_EndBatchOrDrop
Host_GetCount Host_GetText Host_SetText Host_SetCount Host_GetDelString
Host_GetIP Host_GetUpdate Host_GetStatus
Host_GetIPByIndex Host_GetUpdateByIndex Host_GetStatusByIndex
Host_SetIP Host_SetUpdate Host_SetStatus Host_Add Host_Find Host_Clean Host_Remove
SetStatus GetStatus SetActive SetAuthed GetAuthed IsFresh SetFresh GetProxy SetProxy Account_IsUsable
SimpleEncrypt SimpleDecrypt RemoveChars Account_GetPassword Account_SetPassword
GetIP IsBehindProxy IsValidIP GetPublicAddress GetLastFailure
IssueUpdate GetRCLOE b64encode b64decode b64buffer
GetHostList
GetTimestamp LogToFile LogAndSignal Signal MergeFiles Log_Clear GetBalloonMessage Alert TimeElapsed
Pass_Begin Pass_End
TrayIcon_Find TrayIcon_Kill TalUp_Find Execute_TrayIcon Execute_Config Execute_Upgrade
TellServer TellConfig IsRunningService IsRunningProcess GetActive StartUpdater StopUpdater Execute_AsUser
CheckVersion NewVersion IsNewerThan
CreateLink CreateTrayIconShortcut KillTrayIconShortcut CreateStartupShortcut KillStartupShortcut
CreateToolTip
"
expected=$(printf '%s\n' $published | sort)
fail=0
for dll in "$@"; do
    case $(basename "$(dirname "$(dirname "$dll")")") in win32) objdump=i686-w64-mingw32-objdump ;; *) objdump=x86_64-w64-mingw32-objdump ;; esac
    exported=$($objdump -p "$dll" |
        awk '/\[Ordinal\/Name Pointer\] Table/{on=1;next} on && /^[ \t]*\[/{print $NF} on && !NF{on=0}' | sort)
    if [ "$exported" != "$expected" ]; then
        echo "FAIL: $dll does not export the published interface (< missing, > not published):"
        diff <(echo "$expected") <(echo "$exported")
        fail=1
    else
        echo "$dll exports the $(echo "$expected" | wc -l) functions of the published interface"
    fi
done
exit $fail

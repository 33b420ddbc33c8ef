#!/usr/bin/env bash
# Checks the built binaries of both builds: no MinGW runtime DLL is needed
# beside them, and the installer's first stage (../installer/setup.exe
# beside each BIN_FOLDER), which runs elevated from a download folder,
# imports only DLLs that Windows always takes from its own folder (its
# KnownDLLs), never one a user could put beside it. (TalLib's export names
# are checked by lib/check-interface.sh.)
# Usage: check-binaries.sh BIN_FOLDER...
set -uo pipefail
fail=0
for bin in "$@"; do
    case $(basename "$(dirname "$bin")") in win32) objdump=i686-w64-mingw32-objdump ;; *) objdump=x86_64-w64-mingw32-objdump ;; esac
    count=0
    for file in "$bin"/*.exe "$bin"/*.dll; do
        [ -e "$file" ] || continue
        count=$((count + 1))
        runtime=$($objdump -p "$file" | awk '/DLL Name:/{print $3}' | grep -iE 'libgcc|libstdc|libwinpthread|mingw' || true)
        if [ -n "$runtime" ]; then
            echo "FAIL: $file needs $runtime"
            fail=1
        fi
    done
    if [ $count -eq 0 ]; then
        echo "FAIL: no binaries in $bin"
        fail=1
    fi
    echo "checked $count binaries in $bin"
    first_stage="$bin/../installer/setup.exe"
    if [ -e "$first_stage" ]; then
        # Among the KnownDLLs of every Windows the product runs on (Session
        # Manager\KnownDLLs): what the first stage needs besides is loaded
        # from the system folder by its full path (common/system_library.h).
        known='kernel32|user32|gdi32|advapi32|msvcrt|shell32|ole32|oleaut32|shlwapi|comdlg32|rpcrt4|imm32|ws2_32|psapi'
        unknown=$($objdump -p "$first_stage" | awk '/DLL Name:/{print tolower($3)}' | sed 's/\.dll$//' |
            grep -vxE "$known" | tr '\n' ' ' || true)
        if [ -n "$unknown" ]; then
            echo "FAIL: $first_stage imports $unknown(Windows may load them from the folder it runs from)"
            fail=1
        else
            echo "checked $first_stage: it imports known DLLs only"
        fi
    fi
done
exit $fail

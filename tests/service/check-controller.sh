#!/usr/bin/env bash
# Checks TalUpControl.exe in each bin folder given: it imports nothing of
# TalLib (it must run where TalLib cannot be loaded) and its manifest asks
# for administrator rights. Usage: check-controller.sh BIN_FOLDER...
set -uo pipefail
fail=0
for bin in "$@"; do
    case $(basename "$(dirname "$bin")") in win32) objdump=i686-w64-mingw32-objdump ;; *) objdump=x86_64-w64-mingw32-objdump ;; esac
    exe=$bin/TalUpControl.exe
    if [ ! -f "$exe" ]; then
        echo "FAIL: $exe is missing"
        fail=1
        continue
    fi
    imports=$($objdump -p "$exe" | awk '/DLL Name:/{print $3}')
    if [ -z "$imports" ] || echo "$imports" | grep -qi '^tallib'; then
        echo "FAIL: $exe imports: $(echo $imports)"
        fail=1
    fi
    if ! grep -aq 'level="requireAdministrator"' "$exe"; then
        echo "FAIL: $exe carries no requireAdministrator manifest"
        fail=1
    fi
    echo "checked $exe: imports $(echo $imports)"
done
exit $fail

#!/usr/bin/env bash
# Checks the built binaries of both builds: no MinGW runtime DLL is needed
# beside them. (TalLib's export names are checked by lib/check-interface.sh.)
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
done
exit $fail

#!/usr/bin/env bash
# Checks the built binaries of both builds: no MinGW runtime DLL is needed
# beside them, and TalLib.dll exports exactly the names of its .def file,
# undecorated. Usage: check-binaries.sh DEF_FILE BIN_FOLDER...
set -uo pipefail
def=$1
shift
fail=0
expected=$(awk '/^EXPORTS/{on=1;next} on && NF{print $1}' "$def" | sort)
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
    exported=$($objdump -p "$bin/TalLib.dll" |
        awk '/\[Ordinal\/Name Pointer\] Table/{on=1;next} on && /^[ \t]*\[/{print $NF} on && !NF{on=0}' | sort)
    if [ "$exported" != "$expected" ]; then
        echo "FAIL: $bin/TalLib.dll exports differ from $def:"
        diff <(echo "$expected") <(echo "$exported")
        fail=1
    fi
    echo "checked $count binaries in $bin"
done
exit $fail

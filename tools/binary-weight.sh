#!/usr/bin/env bash
# Prints what each product binary of a build carries, read from the linker's
# map the build writes beside it (BUILD/maps/NAME.map): the binary's size,
# the bytes of code and data each library brought in (libstdc++, libgcc,
# mingwex, the Windows import tables, the program's own objects...), and its
# largest single objects. Only sections that take room in the file count:
# code, read-only and initialised data, unwind tables, imports, resources.
#   binary-weight.sh BUILD_DIR [NAME...]     e.g. binary-weight.sh build/win32
#   TOP=20 binary-weight.sh build/win32 TalTray.exe
set -uo pipefail
build=${1:?usage: binary-weight.sh BUILD_DIR [NAME...]}
shift
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(TalLib.dll TalUpSvc.exe TalUpPs.exe TalUpControl.exe TalTray.exe TalUpConfig.exe TalUpUp.exe)
top=${TOP:-8}

weigh() {
    awk -v top="$top" '
    function kb(b) { return sprintf("%7.1f KB", b / 1024) }
    function hex(text,    i, v) {
        v = 0
        text = tolower(substr(text, 3))
        for (i = 1; i <= length(text); i++) v = v * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
        return v
    }
    # Which library an input file belongs to, and the name it is listed by.
    function classify(file,    lib, member, base) {
        if (match(file, /\([^()]*\)$/)) {
            member = substr(file, RSTART + 1, RLENGTH - 2)
            lib = substr(file, 1, RSTART - 1)
            sub(/.*\//, "", lib)
            # The members of a Windows DLL import library hold one import each.
            if (file ~ /-w64-mingw32\/lib\// && member ~ /^lib[a-z0-9_]+(s[0-9]+|h|t|_defs[0-9]+|_defh|_deft)\.o$/) {
                group = "Windows imports"
                label = lib " (imports)"
            } else {
                group = lib
                label = lib "(" member ")"
            }
        } else {
            base = file
            sub(/.*\//, "", base)
            if (file ~ /\.rc\.(obj|res)$/ || file ~ /\.res$/) {
                group = "resources"
            } else if (file ~ /CMakeFiles\//) {
                group = "own objects"
            } else {
                group = (base == "dll stuff" || base == "linker stubs") ? "linker" : "startup objects"
            }
            label = base
        }
    }
    function add(file, size) {
        if (skip || size == 0 || file == "") return
        classify(file)
        by_group[group] += size
        by_label[label] += size
        total += size
    }
    /^Linker script and memory map/ { inmap = 1; next }
    !inmap { next }
    # An output section: only those that occupy the file are counted.
    /^[^ \t]/ {
        section = $1
        skip = (section ~ /^(\.debug|\.zdebug|\.stab|\/DISCARD\/|\.bss)/)
        pending = ""
        next
    }
    /^ \*fill\*/ { next }
    /^ \*/ { next }
    # An input section: " .name  0xADDR  0xSIZE  file", or its name alone on
    # one line when long, the rest on the next.
    /^ [^ ]/ {
        if (NF >= 4 && $2 ~ /^0x/ && $3 ~ /^0x/) {
            add(substr($0, index($0, $4)), hex($3))
            pending = ""
        } else if (NF == 1) {
            pending = $1
        }
        next
    }
    pending != "" && NF >= 3 && $1 ~ /^0x/ && $2 ~ /^0x/ {
        add(substr($0, index($0, $3)), hex($2))
        pending = ""
        next
    }
    { pending = "" }
    END {
        printf "  %-44s %s\n", "sections counted", kb(total)
        n = 0
        for (g in by_group) order[++n] = g
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++)
            if (by_group[order[j]] > by_group[order[i]]) { t = order[i]; order[i] = order[j]; order[j] = t }
        printf "  by library:\n"
        for (i = 1; i <= n; i++) printf "    %-42s %s\n", order[i], kb(by_group[order[i]])
        m = 0
        for (l in by_label) items[++m] = l
        for (i = 1; i <= m && i <= top; i++) for (j = i + 1; j <= m; j++)
            if (by_label[items[j]] > by_label[items[i]]) { t = items[i]; items[i] = items[j]; items[j] = t }
        printf "  largest objects:\n"
        for (i = 1; i <= m && i <= top; i++) printf "    %-42s %s\n", items[i], kb(by_label[items[i]])
    }' "$1"
}

total=0
for name in "${names[@]}"; do
    binary=$build/bin/$name map=$build/maps/${name%.*}.map
    [ -f "$binary" ] || { echo "$name: not built in $build/bin" >&2; continue; }
    size=$(stat -c %s "$binary")
    total=$((total + size))
    awk -v n="$name" -v b="$size" 'BEGIN { printf "%-46s %7.1f KB\n", n, b / 1024 }'
    if [ -f "$map" ]; then
        weigh "$map"
    else
        echo "  (no linker map: $map)"
    fi
done
awk -v b="$total" 'BEGIN { printf "%-46s %7.1f KB (%d bytes)\n", "total", b / 1024, b }'

#!/usr/bin/env bash
# Prints the size of every product binary of a build (its bin/ folder) and
# their total; with a second folder, that folder's sizes beside them (for
# example a copy kept from before a change of build flags).
# With --under BYTES first, it fails when the product's total is not below
# BYTES (the whole product must stay under one megabyte).
#   binary-sizes.sh [--under BYTES] build/win32/bin [OTHER_BIN_DIR]
set -uo pipefail
limit=
if [ "${1:-}" = --under ]; then
    limit=${2:?usage: binary-sizes.sh --under BYTES BIN_DIR}
    shift 2
fi
dir=${1:?usage: binary-sizes.sh [--under BYTES] BIN_DIR [OTHER_BIN_DIR]}
other=${2:-}
products=(TalLib.dll TalUpSvc.exe TalUpPs.exe TalUpControl.exe TalTray.exe TalUpConfig.exe TalUpUp.exe)

size_of() { [ -f "$1" ] && stat -c %s "$1" || echo 0; }
kb() { awk -v b="$1" 'BEGIN { printf "%.1f KB", b / 1024 }'; }

if [ -n "$other" ]; then
    printf '%-18s %12s %12s\n' binary "$(basename "$(dirname "$other")")/$(basename "$other")" "$(basename "$(dirname "$dir")")/$(basename "$dir")"
else
    printf '%-18s %12s\n' binary size
fi
total=0 total_other=0
for name in "${products[@]}"; do
    [ -f "$dir/$name" ] || [ -f "${other:-/nonexistent}/$name" ] || continue
    size=$(size_of "$dir/$name")
    total=$((total + size))
    if [ -n "$other" ]; then
        before=$(size_of "$other/$name")
        total_other=$((total_other + before))
        printf '%-18s %12s %12s\n' "$name" "$(kb "$before")" "$(kb "$size")"
    else
        printf '%-18s %12s\n' "$name" "$(kb "$size")"
    fi
done
if [ -n "$other" ]; then
    printf '%-18s %12s %12s\n' total "$(kb "$total_other")" "$(kb "$total")"
else
    printf '%-18s %12s\n' total "$(kb "$total")"
fi
if [ -n "$limit" ] && [ "$total" -ge "$limit" ]; then
    echo "FAIL: the product's binaries total $total bytes, not under $limit"
    exit 1
fi

#!/usr/bin/env bash
# Prints the figures a reader of the product sources cares about: the places
# that still release, lock or jump by hand, the log calls and result-code
# comparisons written as bare numbers, the utility's frame reaching into its
# pages' controls, the longest files and the basenames used twice.
# Product sources only: tests, tools, fuzzing and the scoped-type header
# (whose job is the releasing) are left out.
#   code-counts.sh [-v]      -v lists every place counted
set -uo pipefail
cd "$(dirname "$0")/.."
verbose=${1:-}

sources() {
    git ls-files '*.cpp' '*.h' '*.c' | grep -v -e '^tests/' -e '^tools/' -e '^fuzz/' -e '^common/scoped\.h$'
}
# Comment lines are not code.
code_lines() { sources | xargs grep -nE "$1" | grep -vE '^[^:]+:[0-9]+:\s*//'; }

count() {
    local title=$1 lines=$2
    printf '%-46s %5d\n' "$title" "$(printf '%s' "$lines" | grep -c .)"
    [ "$verbose" = -v ] && [ -n "$lines" ] && printf '%s\n' "$lines" | sed 's/^/    /'
}

release='\b(CloseHandle|WinHttpCloseHandle|LocalFree|GlobalFree|EnterCriticalSection|LeaveCriticalSection|TryEnterCriticalSection|DeleteCriticalSection|ReleaseMutex|RegCloseKey|CloseServiceHandle|FreeLibrary|CoUninitialize|DeleteObject|DestroyIcon|DeleteDC|ReleaseDC|fclose|malloc|calloc|realloc|free)\(|->Release\(\)|\bgoto\b'
count "manual release, lock, goto and malloc sites" "$(code_lines "$release")"

count "log calls with bare level integers" \
    "$(code_lines '\b(LogToFile|LogAndSignal)\(.*,\s*-?[0-9]+\s*,\s*-?[0-9]+\s*\)')"

count "bare result-code comparisons" \
    "$(code_lines '\b(code|result|rc|level|worst|answer|status)\s*(==|!=|>=|<=|<|>)\s*-?[0-9]+\b|\bcase -?[0-9]+:' |
        grep -v -e '^core/profile_text' -e '^core/base64')"

# The frame is the utility's main window with what it starts and shows
# itself; a page's controls are every control but the frame's own buttons
# and labels.
frame_files=$(ls config/main_window.cpp config/config_main.cpp config/settings.cpp config/refresh.cpp \
    config/status_panel.cpp config/config_pipe.cpp 2>/dev/null)
pokes=$(grep -nE '\b(GetDlgItem|SetDlgItemTextA|GetDlgItemTextA|SendDlgItemMessageA|IsDlgButtonChecked|CheckDlgButton)\(' $frame_files /dev/null |
    grep -vE '\b(IDC_OK|IDC_CANCEL|IDC_APPLY|IDC_STATUS_[A-Z]+|IDC_NAV_[A-Z]+|IDC_BOTTOM_BAND)\b')
count "frame-to-page control pokes" "$pokes"

echo
echo "longest product files (lines):"
sources | xargs wc -l | grep -v ' total$' | sort -rn | head -5 | sed 's/^/    /'
for f in common/http_exchange.cpp common/http_sync.cpp common/http_async.cpp; do
    [ -f "$f" ] && printf '    %-40s %5d\n' "$f" "$(wc -l <"$f")"
done

echo
dups=$(sources | grep -E '\.(cpp|c)$' | xargs -n1 basename | sort | uniq -d)
count "source basenames used twice" "$dups"

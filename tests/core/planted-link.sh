#!/usr/bin/env bash
# No program writes the settings or the log through a link planted in place
# of the data folder (Updater) or of the folder above it (Talvex). Under
# Wine a Unix symbolic link stands for a junction: Wine reports it as a
# reparse point (GetFileAttributes gives 0x410), as Windows reports a
# junction. The link is made here, from the Linux side: a Windows program
# cannot make one under Wine. Then the folder the link leads to must stay
# empty, and the real folder is written again once the link is gone. The
# same for the log file alone: a link or a second name at its name.
#   planted-link.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
vendor="$build/wineprefix/drive_c/ProgramData/Talvex"
writer() { "$build/wine-run.sh" "$build/bin/planted_link_writer.exe" 2>/dev/null | tr -d '\r'; }
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok    $what"; else echo "FAIL  $what"; failures=$((failures + 1)); fi
}
mkdir -p "$vendor/Updater"
for planted in "$vendor/Updater" "$vendor"; do
    echo "== a link in place of ${planted#"$build/wineprefix/drive_c/"}"
    target="$planted.target"
    mv "$planted" "$planted.real"
    mkdir -p "$target/Updater"
    ln -s "$target" "$planted"
    check "the settings are refused" test "$(writer)" = 0
    check "nothing was written where the link leads" test -z "$(find "$target" -type f)"
    rm -f "$planted"
    rm -rf "$target"
    mv "$planted.real" "$planted"
done
# The log itself a link, or a second name of another file: the service and
# the elevated utility would append to a file the user chose. Nothing is
# written to it, and a missing log is not made.
log="$vendor/Updater/talvex.log"
other="$build/wineprefix/drive_c/users/other.txt"
for how in "ln -s" "ln"; do
    echo "== the log made with '$how' to another file"
    rm -f "$log"
    : > "$other"
    $how "$other" "$log"
    writer >/dev/null
    check "nothing was appended to the other file" test ! -s "$other"
    rm -f "$log" "$other"
done
echo "== no log"
writer >/dev/null
check "a missing log is not made" test ! -e "$log"
echo "== the real folder"
: > "$log" # as the installer leaves it
check "the settings are written" test "$(writer)" = 1
check "the log is written" test -s "$log"
rm -f "$vendor/Updater/config.talvex" "$vendor/Updater/talvex.log"
exit $((failures > 0))

# Sourced by the installer tests, the demo and the installer figures: a Wine
# prefix of their own (created once per build, reused), so that the service
# an installation registers never runs in the prefix of the other tests.
#
# inst_begin BUILD_DIR    sets WINEPREFIX, WINE, PROGRAMS (Linux path of the
#                         program folder), PROGRAMS_WIN, DATA, MENU; keeps the
#                         prefix's Wine server up until the script exits.
inst_begin() {
    INST_BUILD=$(cd "$1" && pwd)
    export WINEPREFIX="$INST_BUILD/installer-prefix" WINEDEBUG=-all
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
    WINE=/usr/lib/wine/wine64
    if [ ! -f "$WINEPREFIX/.talvex-ready" ]; then
        rm -rf "$WINEPREFIX"
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.talvex-ready"
    fi
    wineserver -p
    "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null
    PROGRAMS_WIN='C:\Program Files\Talvex Updater'
    PROGRAMS="$WINEPREFIX/drive_c/Program Files/Talvex Updater"
    DATA="$WINEPREFIX/drive_c/ProgramData/Talvex/Updater"
    MENU="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Talvex Updater"
    UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Talvex Updater'
    # A 32-bit installer writes its entry in the 32-bit view of the registry,
    # where a 64-bit Windows lists the 32-bit programs.
    REG_VIEW=/reg:64
    if grep -q 'TALVEX_NSIS_TARGET "x86-unicode"' "$INST_BUILD/installer/installer_build.nsh" 2>/dev/null; then
        REG_VIEW=/reg:32
    fi
    trap inst_end EXIT
}

inst_end() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}

# The Windows form of a Linux path (Wine's Z: drive).
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# inst_setup SETUP_EXE [FOLDER]: a silent installation, as the upgrade
# assistant starts it ("/S /D=" and the folder, which may end in a
# backslash). Through cmd, which keeps /D= whole and waits.
inst_setup() {
    "$WINE" cmd /c "$(winpath "$1") /S /D=${2:-$PROGRAMS_WIN}" >/dev/null 2>&1 </dev/null
}

# inst_probe ARGS...: what InstallProbe says (service state, file version, window).
inst_probe() { "$WINE" "$INST_BUILD/bin/InstallProbe.exe" "$@" 2>/dev/null | tr -d '\r'; }

# inst_wait SECONDS COMMAND...: until the command succeeds; fails after the time.
inst_wait() {
    local tenths=$(($1 * 10))
    shift
    for _ in $(seq 1 "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# The folders the installer's and the uninstaller's copies run from.
INST_COPIES='C:\windows\temp\TalvexSetup.'

# inst_run COMMAND_LINE: runs it as it is (as the list of installed
# programs runs an entry) and ends with its exit code.
inst_run() { "$WINE" "$INST_BUILD/bin/InstallProbe.exe" run "$1" >/dev/null 2>&1 </dev/null; }

# inst_uninstalled FOLDER: the program folder is gone and no copy of the
# uninstaller runs any more (it ends a moment after it removed the folder).
inst_uninstalled() { [ ! -e "$1" ] && ! "$WINE" "$INST_BUILD/bin/InstallProbe.exe" running "$INST_COPIES" >/dev/null 2>&1; }

# inst_uninstall [OPTIONS]: the silent uninstaller as its entry starts it,
# in place (options before _?=, which comes last). It continues from a
# copy of itself and ends at once, so wait until that copy has removed the
# program folder and ended.
inst_uninstall() {
    inst_run "\"$PROGRAMS_WIN\\Uninstall.exe\" /S $* _?=$PROGRAMS_WIN" || return 1
    inst_wait 30 inst_uninstalled "$PROGRAMS"
}

# inst_clean: nothing of the product left in the prefix.
inst_clean() {
    if [ -e "$PROGRAMS/Uninstall.exe" ]; then
        inst_uninstall /REMOVECONFIG || true
    fi
    "$WINE" reg delete 'HKLM\System\CurrentControlSet\Services\Talvex Updater' /f >/dev/null 2>&1
    "$WINE" reg delete "$UNINSTALL_KEY" $REG_VIEW /f >/dev/null 2>&1
    # What Windows deletes when it next starts, which this prefix never
    # does: the folders the uninstaller's copies ran from.
    rm -rf "$WINEPREFIX/drive_c/windows/temp"/TalvexSetup.*
    # The data folder, and any the installer moved aside.
    rm -rf "$PROGRAMS" "$MENU" "$WINEPREFIX/drive_c/ProgramData/Talvex" "$WINEPREFIX/drive_c/ProgramData/Talvex".moved-*
}

# The programs this build puts in its installer.
inst_programs() {
    local name
    for name in TalLib.dll TalUpPs.exe TalUpSvc.exe TalUpControl.exe TalUpUp.exe TalTray.exe TalUpConfig.exe; do
        [ -e "$INST_BUILD/bin/$name" ] && echo "$name"
    done
}

# Test results: check DESCRIPTION COMMAND... records a failure and goes on.
INST_FAILURES=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok    $what"
    else
        echo "FAIL  $what"
        INST_FAILURES=$((INST_FAILURES + 1))
    fi
}

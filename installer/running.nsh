; The suite's running programs, found by their window classes: the process
; updater, the notification icon, the configuration utility and the upgrade
; assistant. The macros use $R3 and $R5.
!define UPDATER_CLASS "TALVEX_UPDATER_MSG"
!define TRAY_CLASS "TALVEX_CONFIG_TRAY_ICON"
!define CONFIG_CLASS "TALVEX_UPDATER_CONFIG"
!define UPGRADE_CLASS "TALVEX_UPGRADE_ASSISTANT"
!define MSG_UPGRADE_INSTALLING 0x8001
!define MSG_UPGRADE_RESTARTING 0x8002
!define WM_CLOSE 0x0010
!define WM_QUIT 0x0012
!define WM_USER 0x0400
!define CMD_QUIT_PROCESS 18

; $R3 = a window of the class, message-only windows included; 0 when none.
!macro _FindWindow class
  System::Call 'user32::FindWindowExW(p -3, p 0, w "${class}", p 0) p.R3'
  ${If} $R3 == 0
    System::Call 'user32::FindWindowExW(p 0, p 0, w "${class}", p 0) p.R3'
  ${EndIf}
!macroend

!macro WindowExists class out
  !insertmacro _FindWindow "${class}"
  StrCpy ${out} 0
  ${If} $R3 != 0
    StrCpy ${out} 1
  ${EndIf}
!macroend

; Waits until no window of the class is left, at most tenths / 10 seconds.
!macro WaitWindowGone class tenths
  StrCpy $R5 0
  ${Do}
    !insertmacro _FindWindow "${class}"
    ${If} $R3 == 0
      ${Break}
    ${EndIf}
    Sleep 100
    IntOp $R5 $R5 + 1
  ${LoopUntil} $R5 >= ${tenths}
!macroend

!macro _PostTo class message wparam
  !insertmacro _FindWindow "${class}"
  ${If} $R3 != 0
    System::Call 'user32::PostMessageW(p R3, i ${message}, p ${wparam}, p 0)'
  ${EndIf}
!macroend

; The upgrade assistant shows what the installer does (it may not run).
!macro TellAssistant message
  !insertmacro _PostTo "${UPGRADE_CLASS}" ${message} 0
!macroend

; Stops the updater (process or service), the notification icon and the
; configuration utility, and waits until the service reports itself
; stopped and their windows have gone (a program may still run a moment
; after: FreeProgramFile, WaitProgramsGone).
!macro StopEverything
  !insertmacro _PostTo "${UPDATER_CLASS}" ${WM_USER} ${CMD_QUIT_PROCESS}
  !insertmacro StopService
  !insertmacro _PostTo "${TRAY_CLASS}" ${WM_QUIT} 0
  !insertmacro _PostTo "${CONFIG_CLASS}" ${WM_CLOSE} 0
  !insertmacro WaitWindowGone "${UPDATER_CLASS}" 100
  !insertmacro WaitWindowGone "${TRAY_CLASS}" 50
  !insertmacro WaitWindowGone "${CONFIG_CLASS}" 50
  Sleep 300
!macroend

; A program ends some time after its window has gone, and Windows refuses to
; overwrite a program file (or a DLL) that a running process still holds.
; Waits up to five seconds for the old file to be let go; one still held is
; moved aside (a loaded file may be renamed) and removed at the next restart,
; so the new file is always written in its place.
!macro FreeProgramFile file
  StrCpy $R5 0
  ${Do}
    ${IfNot} ${FileExists} "${file}"
      ${Break}
    ${EndIf}
    ClearErrors
    FileOpen $R3 "${file}" a
    ${IfNot} ${Errors}
      FileClose $R3
      ${Break}
    ${EndIf}
    Sleep 100
    IntOp $R5 $R5 + 1
  ${LoopUntil} $R5 >= 50
  ${If} $R5 >= 50
    Delete "${file}.old"
    Rename "${file}" "${file}.old"
    Delete /REBOOTOK "${file}.old"
  ${EndIf}
!macroend

; Writes one program file (File sets the error flag when it cannot, in
; a silent installation without asking). Another process may hold the old
; file at that very moment (a virus scanner, a reader of its version): it
; is moved aside, as a held file may be, and the new one written again. One
; that still cannot be written stops the installation with the reason
; (exit code 2 when silent) rather than leave programs of two versions
; behind an installation said to be done.
!macro InstallProgramFile source name
  ClearErrors
  File "${source}"
  ${If} ${Errors}
    DetailPrint "${name} was held by another program; it is moved aside and written again."
    Delete "$INSTDIR\${name}.old"
    Rename "$INSTDIR\${name}" "$INSTDIR\${name}.old"
    Delete /REBOOTOK "$INSTDIR\${name}.old"
    ClearErrors
    File "${source}"
    ${If} ${Errors}
      DetailPrint "${name} could not be written in $INSTDIR."
      Call RestartWhatRan
      MessageBox MB_OK|MB_ICONSTOP "Talvex Updater could not replace ${name} in $INSTDIR: another program holds it. Close it and run the installation again." /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
!macroend

; Removes the emptied program folder. A file that was deleted while a
; process still held it goes only when that process lets go, and the
; folder with it: tried for five seconds at most.
!macro RemoveProgramFolder
  StrCpy $R5 0
  ${Do}
    RMDir "$INSTDIR"
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
      ${Break}
    ${EndIf}
    Sleep 100
    IntOp $R5 $R5 + 1
  ${LoopUntil} $R5 >= 50
!macroend

; The elevated installer runs only from a folder that only Administrators
; may change. The first stage setup.exe starts it so: written into a new
; folder of the system's temporary folder that only SYSTEM and
; Administrators may use, with /OWNCOPY, and with that folder as its TEMP
; (first_stage_main.cpp). Started by itself from anywhere else (a download
; folder, which its user may change), it copies itself, through one handle
; that lets nobody write the file meanwhile, into such a folder, checks the
; copy against the publisher's signature, runs it with its own command
; line and that TEMP, and ends with the copy's exit code; the copy's folder
; is removed once the copy has ended (installer/own_copy_setup.cpp). The
; function uses $R0 to $R7.
;
; /OWNCOPY tells the copy what it is; it is believed only from a folder
; of the form the copies are made in that passes the check the other
; elevated code makes (a real folder, owned by Administrators or SYSTEM,
; that no one else may change), and only when the helper the copy
; unpacked first lies in that folder too. A copy that fails is refused,
; never copied again.

Function RunFromAdministratorsFolder
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/OWNCOPY" $R1
  ${IfNot} ${Errors}
    !insertmacro _RunSetupHelper 'runs-as-own-copy "$EXEPATH"'
    ${If} $R3 != 0
      MessageBox MB_OK|MB_ICONSTOP "The Talvex Updater installer cannot run from this folder: $R4" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    Return
  ${EndIf}
  !insertmacro _RunSetupHelper 'runs-from-administrators-folder "$EXEPATH"'
  ${If} $R3 == 0
    Return
  ${EndIf}
  !insertmacro _RunSetupHelper 'make-own-copy "$EXEPATH"'
  ${If} $R3 != 0
    MessageBox MB_OK|MB_ICONSTOP "The Talvex Updater installer could not make the copy it runs from: $R4" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $R5 $R4
  ; The copy unpacks its helper and plug-ins under its TEMP: its own
  ; folder, as the first stage gives it (a copy that finds its helper
  ; elsewhere refuses to run, and says why).
  ${GetParent} $R5 $R7
  System::Call 'kernel32::SetEnvironmentVariableW(w "TEMP", w R7)'
  System::Call 'kernel32::SetEnvironmentVariableW(w "TMP", w R7)'
  ; /D= comes last, unquoted, as the installer takes it: the folder this
  ; run would use (the one given, or the default or registered one).
  ClearErrors
  ExecWait '"$R5" $R0 /OWNCOPY /D=$INSTDIR' $R6
  ${If} ${Errors}
    StrCpy $R6 2
  ${EndIf}
  !insertmacro _RunSetupHelper 'remove-own-copy "$R5"'
  SetErrorLevel $R6
  Quit
FunctionEnd

; The uninstaller runs so too. The uninstall entry and the Start-menu
; shortcut start it in place, with _?= and the program folder, so that
; NSIS makes no copy of it in the user's %TEMP%. There, in the program
; folder that only Administrators may change, it unpacks its helper and
; plug-ins into a folder of its own before anything else, has the helper
; copy it into a copy's folder (checked as the installer's copy is), starts
; the copy with its command line, /OWNCOPY and that folder as its TEMP, and
; ends without waiting (exit code 0), so that the program folder, its own
; file in it, can be removed. The copy, which cannot remove its own folder,
; leaves it to be deleted when Windows next starts. Started from anywhere
; else (NSIS's own copy in %TEMP%, as an entry without _?= starts it), it
; unpacks nothing and hands over to the uninstaller of the registered
; program folder. The function uses $R0 to $R7.
!define UNINSTALL_PLUGINS "Uninstall.tmp"

Function un.RunFromAdministratorsFolder
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/OWNCOPY" $R1
  ${IfNot} ${Errors}
    !insertmacro _RunSetupHelper 'runs-as-own-copy "$EXEPATH"'
    ${If} $R3 != 0
      MessageBox MB_OK|MB_ICONSTOP "The Talvex Updater uninstaller cannot run from this folder: $R4" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    ; However the copy ends (cancelled, too), its folder goes at the restart.
    !insertmacro _RunSetupHelper 'remove-copy-at-restart "$EXEPATH"'
    Return
  ${EndIf}
  ; The registry's program folder, which only Administrators may change,
  ; never a folder named on the command line.
  ReadRegStr $R2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R2 == ""
    MessageBox MB_OK|MB_ICONSTOP "No installation of Talvex Updater is registered on this computer." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ${If} $EXEDIR != $R2
    SetErrorLevel 0
    ClearErrors
    Exec '"$R2\Uninstall.exe" $R0 _?=$R2'
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "The Talvex Updater uninstaller $R2\Uninstall.exe could not be started." /SD IDOK
      SetErrorLevel 2
    ${EndIf}
    Quit
  ${EndIf}
  ; Made new: a folder left by an uninstaller that was ended goes first.
  RMDir /r "$EXEDIR\${UNINSTALL_PLUGINS}"
  ClearErrors
  CreateDirectory "$EXEDIR\${UNINSTALL_PLUGINS}"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "The Talvex Updater uninstaller could not make $EXEDIR\${UNINSTALL_PLUGINS}." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ; Set before any plug-in or file is unpacked: InitPluginsDir makes a
  ; folder under $TEMP only while $PLUGINSDIR is empty, and NSIS removes
  ; this one when the uninstaller ends.
  UnsafeStrCpy $PLUGINSDIR "$EXEDIR\${UNINSTALL_PLUGINS}"
  !insertmacro _RunSetupHelper 'make-uninstaller-copy "$EXEPATH"'
  ${If} $R3 != 0
    MessageBox MB_OK|MB_ICONSTOP "The Talvex Updater uninstaller could not make the copy it runs from: $R4" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $R5 $R4
  ${GetParent} $R5 $R7
  System::Call 'kernel32::SetEnvironmentVariableW(w "TEMP", w R7)'
  System::Call 'kernel32::SetEnvironmentVariableW(w "TMP", w R7)'
  SetErrorLevel 0
  ClearErrors
  Exec '"$R5" $R0 /OWNCOPY _?=$EXEDIR'
  ${If} ${Errors}
    !insertmacro _RunSetupHelper 'remove-own-copy "$R5"'
    MessageBox MB_OK|MB_ICONSTOP "The Talvex Updater uninstaller could not start its copy $R5." /SD IDOK
    SetErrorLevel 2
  ${EndIf}
  Quit
FunctionEnd

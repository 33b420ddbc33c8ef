; The elevated installer runs only from a folder that only Administrators
; may change. Started from anywhere else (a download folder, which its
; user may change), it copies itself, through one handle that lets nobody
; write the file meanwhile, into a new folder of the system's temporary
; folder that only SYSTEM and Administrators may use, checks the copy
; against the publisher's signature, runs it with its own command line and
; ends with the copy's exit code; the copy's folder is removed once the
; copy has ended (installer/own_copy_setup.cpp). The function uses $R0 to
; $R6.
;
; /OWNCOPY tells the copy what it is; it is believed only from a folder
; the helper makes for copies that passes the check the other elevated
; code makes (a real folder, owned by Administrators or SYSTEM, that no
; one else may change). A copy whose folder does not is refused, never
; copied again.

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

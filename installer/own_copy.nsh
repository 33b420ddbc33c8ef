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

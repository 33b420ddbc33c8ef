; How an installation treats the one it finds: where it installs, and how
; it leaves the installation as it ran when a step fails. The functions use
; $0 and the registers of the macros they call.

; An upgrade installs into the folder the existing installation is
; registered in, whatever /D= says: a copy of the upgrade assistant
; started from a user's folder passes that folder, where the user could
; replace the service's programs. A first installation takes /D=.
Function UseRegisteredFolder
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

; The directory page is not shown for an upgrade: the folder is the
; registered one.
Function SkipFolderPageOnUpgrade
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    Abort
  ${EndIf}
FunctionEnd

; Starts again what ran before the installation stopped it, after a step
; that failed before any program file was replaced: the old installation
; runs as it ran.
Function RestartWhatRan
  ${If} $WasService == 1
    !insertmacro StartService
  ${EndIf}
  ${If} $WasProcess == 1
    !insertmacro StartAsUser "$INSTDIR\TalUpPs.exe"
  ${EndIf}
  ${If} $WasTray == 1
  ${AndIf} ${FileExists} "$INSTDIR\TalTray.exe"
    !insertmacro StartAsUser "$INSTDIR\TalTray.exe"
  ${EndIf}
FunctionEnd

; The service's account, identity and program, set before any program
; file is replaced: when the system refuses a change the installation
; stops with the old files in place and the old service started again as
; it ran (RegisterService changes the account last, in one call). A fresh
; installation uses the service; an upgrade keeps the choice the
; installation made before (service or process updater).
Function SetUpService
  !insertmacro ServiceExists $0
  ${If} $Upgrading == 0
  ${OrIf} $0 == 1
    !insertmacro RegisterService "$INSTDIR\TalUpSvc.exe"
    ${If} $R1 != ""
      Call RestartWhatRan
      MessageBox MB_OK|MB_ICONSTOP "The updater service could not be set up: $R1" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

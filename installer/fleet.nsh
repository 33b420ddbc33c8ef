; What administrators of many machines rely on: the service's description
; and recovery actions, the Event Log source, and a prepared configuration
; given with /CONFIG=<file>. Functions only; talvex.nsi calls them. They use
; $0 to $3 and, through service.nsh and setup_helper.nsh, $R1 to $R9.

!define SERVICE_DESCRIPTION "Keeps the DNS records of the host names selected from a Talvex account pointed at the public address of this computer."
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Talvex Updater"
!define SERVICE_CONFIG_DESCRIPTION 1
!define SERVICE_CONFIG_FAILURE_ACTIONS 2
!define SERVICE_CONFIG_FAILURE_ACTIONS_FLAG 4
!define SC_ACTION_RESTART 1
; Restart after 1, 2 and 10 minutes; the count starts again after a day
; without a failure.
!define RECOVERY_RESET_SECONDS 86400
!define RECOVERY_ACTIONS 3

Var PreparedConfig ; the file given with /CONFIG=, empty without
Var CheckedConfig  ; the bytes of it that were checked, in the installer's own folder

; Before anything is installed: a prepared configuration that is missing,
; a link, unreadable or malformed stops the installation with the reason
; (exit code 2 when silent). It is read once: what was checked is what is
; applied, whatever happens to the file meanwhile.
Function CheckPreparedConfig
  StrCpy $PreparedConfig ""
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CONFIG=" $1
  ${IfNot} ${Errors}
    StrCpy $PreparedConfig $1
    InitPluginsDir
    StrCpy $CheckedConfig "$PLUGINSDIR\prepared.talvex"
    !insertmacro _RunSetupHelper 'check-config "$PreparedConfig" "$CheckedConfig"'
    ${If} $R3 != 0
      MessageBox MB_OK|MB_ICONSTOP "$R4" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
    DetailPrint $R4
  ${EndIf}
FunctionEnd

; After the programs are in place and before the updater starts: the
; account, the hosts and the options of the prepared configuration are
; written into config.talvex through TalLib's commit, as the utility
; writes them. Only when /CONFIG= was given, upgrade or not.
Function ApplyPreparedConfig
  ${If} $PreparedConfig != ""
    !insertmacro _RunSetupHelper 'apply-config "$CheckedConfig" "$INSTDIR\TalLib.dll"'
    ${If} $R3 != 0
      MessageBox MB_OK|MB_ICONSTOP "The prepared configuration was not written: $R4" /SD IDOK
      SetErrorLevel 2
    ${Else}
      DetailPrint $R4
      ; The icon's option shows at the next logon, as the utility's would.
      ReadINIStr $0 "$APPDATA\Talvex\Updater\config.talvex" "App" "LoadIcon"
      ${If} $0 == 1
      ${AndIf} ${FileExists} "$INSTDIR\TalTray.exe"
        CreateShortcut "$SMSTARTUP\Talvex Updater Tray Icon.lnk" "$INSTDIR\TalTray.exe"
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

; $R2 the Windows error of the last call made with "?e"; a setting the
; system does not know or keep (ERROR_INVALID_LEVEL) is said and passed.
!macro _SaySetting ok what
  ${If} ${ok} == 0
    ${If} $R2 == ${ERROR_INVALID_LEVEL}
      DetailPrint "${what}: not kept by this system"
    ${Else}
      DetailPrint "${what}: failed with Windows error $R2"
    ${EndIf}
  ${EndIf}
!macroend

; The service's description, and restarts after 1, 2 and 10 minutes when
; it ends without being asked to or reports a failure exit code (a stop
; the product chooses ends with success, so it is never restarted). Each
; setting is read back; one that this system refuses or does not keep is
; said in the details and the installation goes on.
Function ConfigureServiceConventions
  !insertmacro _OpenService
  ${If} $R9 != 0
    System::Call '*(&w200 "${SERVICE_DESCRIPTION}") p.R3'
    System::Call '*(p R3) p.R7'
    System::Call 'advapi32::ChangeServiceConfig2W(p R9, i ${SERVICE_CONFIG_DESCRIPTION}, p R7) i.R6 ?e'
    Pop $R2
    System::Free $R7
    System::Free $R3
    !insertmacro _SaySetting $R6 "Service description"
    System::Alloc 8192
    Pop $R7
    System::Call 'advapi32::QueryServiceConfig2W(p R9, i ${SERVICE_CONFIG_DESCRIPTION}, p R7, i 8192, *i .R5) i.R6 ?e'
    Pop $R2
    StrCpy $0 ""
    ${If} $R6 != 0
      System::Call '*$R7(w .r0)'
    ${EndIf}
    ${If} $0 != "${SERVICE_DESCRIPTION}"
      !insertmacro _SaySetting 0 "Service description read back"
    ${EndIf}

    System::Call '*(i ${SC_ACTION_RESTART}, i 60000, i ${SC_ACTION_RESTART}, i 120000, i ${SC_ACTION_RESTART}, i 600000) p.R3'
!if ${TALVEX_NSIS_TARGET} == "amd64-unicode"
    System::Call '*(i ${RECOVERY_RESET_SECONDS}, i 0, p 0, p 0, i ${RECOVERY_ACTIONS}, i 0, p R3) p.R4'
!else
    System::Call '*(i ${RECOVERY_RESET_SECONDS}, p 0, p 0, i ${RECOVERY_ACTIONS}, p R3) p.R4'
!endif
    System::Call 'advapi32::ChangeServiceConfig2W(p R9, i ${SERVICE_CONFIG_FAILURE_ACTIONS}, p R4) i.R6 ?e'
    Pop $R2
    System::Free $R4
    System::Free $R3
    !insertmacro _SaySetting $R6 "Service recovery actions"
    System::Call 'advapi32::QueryServiceConfig2W(p R9, i ${SERVICE_CONFIG_FAILURE_ACTIONS}, p R7, i 8192, *i .R5) i.R6 ?e'
    Pop $R2
    StrCpy $0 0
    StrCpy $1 0
    ${If} $R6 != 0
!if ${TALVEX_NSIS_TARGET} == "amd64-unicode"
      System::Call '*$R7(i .r0, i, p, p, i .r1)'
!else
      System::Call '*$R7(i .r0, p, p, i .r1)'
!endif
    ${EndIf}
    ${If} $0 != ${RECOVERY_RESET_SECONDS}
    ${OrIf} $1 != ${RECOVERY_ACTIONS}
      !insertmacro _SaySetting 0 "Service recovery actions read back"
    ${EndIf}

    System::Call '*(i 1) p.R4'
    System::Call 'advapi32::ChangeServiceConfig2W(p R9, i ${SERVICE_CONFIG_FAILURE_ACTIONS_FLAG}, p R4) i.R6 ?e'
    Pop $R2
    System::Free $R4
    !insertmacro _SaySetting $R6 "Service recovery after a failure exit code"
    System::Call 'advapi32::QueryServiceConfig2W(p R9, i ${SERVICE_CONFIG_FAILURE_ACTIONS_FLAG}, p R7, i 8192, *i .R5) i.R6 ?e'
    Pop $R2
    StrCpy $0 0
    ${If} $R6 != 0
      System::Call '*$R7(i .r0)'
    ${EndIf}
    ${If} $0 != 1
      !insertmacro _SaySetting 0 "Service recovery after a failure exit code read back"
    ${EndIf}
    System::Free $R7
  ${EndIf}
  !insertmacro _CloseService
FunctionEnd

; The Event Log source "Talvex Updater": its messages are in TalLib.dll.
Function RegisterEventSource
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\TalLib.dll"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
  ReadRegStr $0 HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile"
  ${If} $0 != "$INSTDIR\TalLib.dll"
    DetailPrint "The Event Log source could not be registered"
  ${EndIf}
FunctionEnd

Function un.RemoveEventSource
  DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
FunctionEnd

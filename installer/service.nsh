; The updater service "Talvex Updater" through the service control manager
; (System plugin calls into advapi32). The macros use $R1 to $R9.
!define SERVICE_NAME "Talvex Updater"
!define SC_MANAGER_ALL_ACCESS 0xF003F
!define SERVICE_ALL_ACCESS 0xF01FF
!define SERVICE_STOPPED 1
!define SERVICE_START_PENDING 2
!define SERVICE_RUNNING 4

; $R8 the manager, $R9 the service; "0" for what could not be opened.
!macro _OpenService
  StrCpy $R9 0
  System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i ${SC_MANAGER_ALL_ACCESS}) p.R8'
  ${If} $R8 != 0
    System::Call 'advapi32::OpenServiceW(p R8, w "${SERVICE_NAME}", i ${SERVICE_ALL_ACCESS}) p.R9'
  ${EndIf}
!macroend

!macro _CloseService
  ${If} $R9 != 0
    System::Call 'advapi32::CloseServiceHandle(p R9)'
  ${EndIf}
  ${If} $R8 != 0
    System::Call 'advapi32::CloseServiceHandle(p R8)'
  ${EndIf}
!macroend

; $R4 = the opened service's current state, 0 when unknown.
!macro _ServiceState
  StrCpy $R4 0
  System::Call '*(i,i,i,i,i,i,i) p.R7'
  System::Call 'advapi32::QueryServiceStatus(p R9, p R7) i.R6'
  ${If} $R6 != 0
    System::Call '*$R7(i, i.R4)'
  ${EndIf}
  System::Free $R7
!macroend

; Asks the opened service to stop and waits up to 15 s until it has.
!macro _StopOpenedService
  !insertmacro _ServiceState
  ${If} $R4 != ${SERVICE_STOPPED}
  ${AndIf} $R4 != 0
    System::Call '*(i,i,i,i,i,i,i) p.R7'
    System::Call 'advapi32::ControlService(p R9, i 1, p R7) i.R6'
    System::Free $R7
    StrCpy $R5 0
    ${Do}
      !insertmacro _ServiceState
      ${If} $R4 == ${SERVICE_STOPPED}
      ${OrIf} $R4 == 0
        ${Break}
      ${EndIf}
      Sleep 100
      IntOp $R5 $R5 + 1
    ${LoopUntil} $R5 >= 150
  ${EndIf}
!macroend

!macro ServiceExists out
  !insertmacro _OpenService
  StrCpy ${out} 0
  ${If} $R9 != 0
    StrCpy ${out} 1
  ${EndIf}
  !insertmacro _CloseService
!macroend

!macro ServiceIsRunning out
  !insertmacro _OpenService
  StrCpy ${out} 0
  ${If} $R9 != 0
    !insertmacro _ServiceState
    ${If} $R4 == ${SERVICE_RUNNING}
    ${OrIf} $R4 == ${SERVICE_START_PENDING}
      StrCpy ${out} 1
    ${EndIf}
  ${EndIf}
  !insertmacro _CloseService
!macroend

!macro StopService
  !insertmacro _OpenService
  ${If} $R9 != 0
    !insertmacro _StopOpenedService
  ${EndIf}
  !insertmacro _CloseService
!macroend

!macro StartService
  !insertmacro _OpenService
  ${If} $R9 != 0
    System::Call 'advapi32::StartServiceW(p R9, i 0, p 0) i.R6'
  ${EndIf}
  !insertmacro _CloseService
!macroend

; The service runs as LocalService with its own service identity ("NT
; SERVICE\Talvex Updater", which the data folder and the pipes name) and
; keeps one privilege: far below LocalSystem, it can reach the network, the
; data folder and the pipes, and nothing else of the machine.
!define SERVICE_ACCOUNT "NT AUTHORITY\LocalService"
!define SERVICE_PRIVILEGE "SeChangeNotifyPrivilege"
!define SERVICE_CONFIG_SERVICE_SID_INFO 5
!define SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO 6
!define SERVICE_SID_TYPE_UNRESTRICTED 1

;  ERROR_INVALID_LEVEL: a Windows that does not know the setting at all.
!define ERROR_INVALID_LEVEL 124

; After a call made with "?e": $R6 its result, the error popped into $R2.
; A setting the system does not know (ERROR_INVALID_LEVEL) is no failure:
; it leaves the service as the system runs every service. Otherwise, on a
; failure, $R1 names the call and its Windows error.
!macro _CheckServiceCall name
  Pop $R2
  ${If} $R6 == 0
  ${AndIf} $R2 != ${ERROR_INVALID_LEVEL}
    StrCpy $R1 "${name} failed with Windows error $R2"
  ${EndIf}
!macroend

; On the opened service $R9: its own identity and its one privilege (a
; double-terminated list: 23 characters and two zeros). $R1 stays empty
; when both were set.
!macro _LimitOpenedService
  System::Call '*(i ${SERVICE_SID_TYPE_UNRESTRICTED}) p.R7'
  System::Call 'advapi32::ChangeServiceConfig2W(p R9, i ${SERVICE_CONFIG_SERVICE_SID_INFO}, p R7) i.R6 ?e'
  System::Free $R7
  !insertmacro _CheckServiceCall "ChangeServiceConfig2W (service identity)"
  ${If} $R1 == ""
    System::Call '*(&w25 "${SERVICE_PRIVILEGE}") p.R3'
    System::Call '*(p R3) p.R7'
    System::Call 'advapi32::ChangeServiceConfig2W(p R9, i ${SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO}, p R7) i.R6 ?e'
    System::Free $R7
    System::Free $R3
    !insertmacro _CheckServiceCall "ChangeServiceConfig2W (required privileges)"
  ${EndIf}
!macroend

; Creates the service for the program, started automatically with the
; system; an existing one gets the program's path and the account above,
; also when an older installation left it as LocalSystem (its start type
; is the user's choice, set by the configuration utility). $R1 is empty
; when all was done, else it names the call that failed and its Windows
; error, and nothing is left half-converted: an existing service gets its
; new account last, in one call, only once its identity and privilege are
; set (either of which only narrows what it may do), and a new service
; that could not be limited is deleted again.
!macro RegisterService binary
  StrCpy $R5 '"${binary}"'
  StrCpy $R1 ""
  !insertmacro _OpenService
  ${If} $R8 == 0
    StrCpy $R1 "OpenSCManagerW failed"
  ${ElseIf} $R9 != 0
    !insertmacro _LimitOpenedService
    ${If} $R1 == ""
      System::Call 'advapi32::ChangeServiceConfigW(p R9, i -1, i -1, i -1, w R5, p 0, p 0, p 0, w "${SERVICE_ACCOUNT}", w "", p 0) i.R6 ?e'
      !insertmacro _CheckServiceCall "ChangeServiceConfigW"
    ${EndIf}
  ${Else}
    System::Call 'advapi32::CreateServiceW(p R8, w "${SERVICE_NAME}", w "${SERVICE_NAME}", i ${SERVICE_ALL_ACCESS}, i 0x10, i 2, i 1, w R5, p 0, p 0, p 0, w "${SERVICE_ACCOUNT}", w "") p.R9 ?e'
    Pop $R2
    ${If} $R9 == 0
      StrCpy $R1 "CreateServiceW failed with Windows error $R2"
    ${Else}
      !insertmacro _LimitOpenedService
      ${If} $R1 != ""
        System::Call 'advapi32::DeleteService(p R9) i.R6'
      ${EndIf}
    ${EndIf}
  ${EndIf}
  !insertmacro _CloseService
!macroend

!macro DeleteService
  !insertmacro _OpenService
  ${If} $R9 != 0
    !insertmacro _StopOpenedService
    System::Call 'advapi32::DeleteService(p R9) i.R6'
  ${EndIf}
  !insertmacro _CloseService
!macroend

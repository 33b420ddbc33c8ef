; The Talvex Updater installer: it installs the programs into the program
; folder, prepares the data folder, registers the updater service, adds
; Start-menu entries and an uninstaller. Run silently by the upgrade
; assistant as  setup.exe /S /D=<program folder>  over a running
; installation: it stops what runs, replaces the programs, keeps the
; configuration and starts again what ran before.
;
; Built as setup-payload.exe and shipped inside the first stage setup.exe
; (first_stage_main.cpp), which runs it from a folder only Administrators
; may use, with /OWNCOPY, and that folder as its TEMP (own_copy.nsh).
;
; An upgrade always installs into the folder the installation is
; registered in (upgrade_rules.nsh).
;
; Built by the normal build (installer/CMakeLists.txt), which passes
;   -DTALVEX_BUILD_NSH=<generated settings: version, target, output, files>

Unicode true
!include "${TALVEX_BUILD_NSH}"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"
!include "service.nsh"
!include "running.nsh"
!include "setup_helper.nsh"

Target ${TALVEX_NSIS_TARGET}
Name "Talvex Updater"
OutFile "${TALVEX_OUTFILE}"
; The installer and the uninstaller it writes are signed like every program.
!finalize '${TALVEX_SIGN_COMMAND} "%1"'
!uninstfinalize '${TALVEX_SIGN_COMMAND} "%1"'
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails nevershow
ShowUninstDetails nevershow
BrandingText "Talvex Updater ${TALVEX_VERSION}"
Icon "${TALVEX_ICON}"
UninstallIcon "${TALVEX_ICON}"

!define PRODUCT "Talvex Updater"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Talvex Updater"
!define DATA_FOLDER "$APPDATA\Talvex\Updater"
!define MENU_FOLDER "$SMPROGRAMS\Talvex Updater"

!if ${TALVEX_NSIS_TARGET} == "amd64-unicode"
InstallDir "$PROGRAMFILES64\Talvex Updater"
!else
InstallDir "$PROGRAMFILES\Talvex Updater"
!endif
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${TALVEX_VERSION}.0"
VIFileVersion "${TALVEX_VERSION}.0"
VIAddVersionKey "ProductName" "Talvex Updater"
VIAddVersionKey "ProductVersion" "${TALVEX_VERSION}"
VIAddVersionKey "FileVersion" "${TALVEX_VERSION}"
VIAddVersionKey "FileDescription" "Talvex Updater Setup"
VIAddVersionKey "CompanyName" "Talvex"
VIAddVersionKey "LegalCopyright" "Copyright (C) Talvex"

Page directory SkipFolderPageOnUpgrade
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var WasService   ; the updater service ran before
Var WasProcess   ; the process updater ran before
Var WasTray      ; the notification icon ran before
Var Upgrading    ; a previous installation is in the folder

; Variables and functions of their own: included once the target is set.
!include "fleet.nsh"
!include "upgrade_rules.nsh"
!include "own_copy.nsh"

Function .onInit
  SetShellVarContext all
  ; Before anything else: from here on it runs where no user can plant.
  Call RunFromAdministratorsFolder
!if ${TALVEX_NSIS_TARGET} == "amd64-unicode"
  SetRegView 64
!endif
  Call UseRegisteredFolder
FunctionEnd

Function un.onInit
  SetShellVarContext all
!if ${TALVEX_NSIS_TARGET} == "amd64-unicode"
  SetRegView 64
!endif
  ; Before anything is unpacked (own_copy.nsh); the registry view first,
  ; to read where the programs are.
  Call un.RunFromAdministratorsFolder
FunctionEnd

Section "Talvex Updater"
  SetShellVarContext all
  ; A prepared configuration is checked before anything is stopped,
  ; made or replaced.
  Call CheckPreparedConfig
  ; So is the program folder: made with rights of its own, or refused.
  !insertmacro MakeProgramFolder
  StrCpy $Upgrading 0
  ${If} ${FileExists} "$INSTDIR\TalLib.dll"
    StrCpy $Upgrading 1
  ${EndIf}

  ; Stop whatever runs before the data folder is made again and the
  ; program files are replaced, so that nothing writes meanwhile.
  !insertmacro TellAssistant ${MSG_UPGRADE_INSTALLING}
  !insertmacro ServiceIsRunning $WasService
  !insertmacro WindowExists "${UPDATER_CLASS}" $WasProcess
  !insertmacro WindowExists "${TRAY_CLASS}" $WasTray
  !insertmacro StopEverything
  !insertmacro TellAssistant ${MSG_UPGRADE_RESTARTING}
  !insertmacro WaitWindowGone "${UPGRADE_CLASS}" 100

  ; The data folder every program of the signed-in user writes the
  ; configuration and the log in (setup_helper.nsh); the configuration and
  ; the log are kept. Then the service, still before any file is replaced.
  !insertmacro MakeDataFolder
  Call SetUpService
  Call ConfigureServiceConventions

  !insertmacro TALVEX_FREE_FILES

  SetOutPath "$INSTDIR"
  SetOverwrite on
  !insertmacro TALVEX_INSTALL_FILES

  CreateDirectory "${MENU_FOLDER}"
!ifdef TALVEX_HAS_TALUPCONFIG
  CreateShortcut "${MENU_FOLDER}\Talvex Updater Configuration.lnk" "$INSTDIR\TalUpConfig.exe"
!endif
!ifdef TALVEX_HAS_TALTRAY
  CreateShortcut "${MENU_FOLDER}\Talvex Updater Tray Icon.lnk" "$INSTDIR\TalTray.exe"
!endif
  CreateShortcut "${MENU_FOLDER}\Talvex Upgrade Assistant.lnk" "$INSTDIR\TalUpUp.exe"
  ; In place, so that NSIS makes no copy of it in the user's %TEMP%.
  CreateShortcut "${MENU_FOLDER}\Uninstall Talvex Updater.lnk" "$INSTDIR\Uninstall.exe" "_?=$INSTDIR"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${TALVEX_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Talvex"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TalUpUp.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  ; Where this installer ran: its own copy's folder when it was started
  ; from a folder users may change.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallSource" "$EXEDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe" _?=$INSTDIR'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  Call RegisterEventSource
  Call ApplyPreparedConfig

  ; Start again what ran; a fresh installation starts its service.
  ${If} $WasService == 1
  ${OrIf} $Upgrading == 0
    !insertmacro StartService
  ${EndIf}
  ; The process updater and the icon run as the signed-in user, unelevated:
  ; the desktop shell starts them, never this elevated installer.
  ${If} $WasProcess == 1
    !insertmacro StartAsUser "$INSTDIR\TalUpPs.exe"
  ${EndIf}
  ${If} $WasTray == 1
  ${AndIf} ${FileExists} "$INSTDIR\TalTray.exe"
    !insertmacro StartAsUser "$INSTDIR\TalTray.exe"
  ${EndIf}
SectionEnd

; Uninstall: stop everything, remove the service, the programs, the menu
; entries, the Startup shortcuts and the entry in the list of installed
; programs. The configuration and the log stay unless /REMOVECONFIG is given
; (or the user says so when asked).
Section "Uninstall"
  SetShellVarContext all
  ; Nothing of the uninstaller, nor any helper it runs, works in the
  ; program folder, which it removes.
  SetOutPath "$TEMP"
  !insertmacro StopEverything
  !insertmacro TellAssistant ${MSG_UPGRADE_RESTARTING}
  !insertmacro WaitWindowGone "${UPGRADE_CLASS}" 50
  !insertmacro DeleteService
  Call un.RemoveEventSource
  ; A program whose window went, or a service that reported itself
  ; stopped, may still run for a moment and hold its files and the folder;
  ; one of another session (an icon another user's Startup shortcut
  ; started) was never told to end. What still runs after a moment is ended.
  !insertmacro EndProgramsOf "$INSTDIR"

  !insertmacro TALVEX_DELETE_FILES
  Delete "$INSTDIR\Uninstall.exe"
  ; What an uninstaller started in place unpacked, should it have been
  ; ended before it could remove it (own_copy.nsh).
  RMDir /r "$INSTDIR\${UNINSTALL_PLUGINS}"

  Delete "${MENU_FOLDER}\*.lnk"
  RMDir "${MENU_FOLDER}"
  Delete "$SMSTARTUP\Talvex Updater Tray Icon.lnk"
  Delete "$SMSTARTUP\Talvex Updater.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; Nothing is deleted through a link planted in place of the data folder.
  !insertmacro DataFolderIsReal $3
  ; A downloaded installer is no user data.
  ${If} $3 == 1
    Delete "${DATA_FOLDER}\setup.exe"
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVECONFIG" $1
  StrCpy $2 1
  ${If} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION "Remove your Talvex Updater settings and log as well?" /SD IDNO IDYES +2
    StrCpy $2 0
  ${EndIf}
  ${If} $2 == 1
  ${AndIf} $3 == 1
    Delete "${DATA_FOLDER}\config.talvex"
    Delete "${DATA_FOLDER}\config.talvex.journal"
    Delete "${DATA_FOLDER}\talvex.lock"
    Delete "${DATA_FOLDER}\talvex.log"
    RMDir "${DATA_FOLDER}"
    RMDir "$APPDATA\Talvex"
  ${EndIf}

  ; Last, so that a caller waiting for the folder to go knows all is done.
  !insertmacro RemoveProgramFolder
  ; Again, now that no more is unpacked: the copy's folder as it is now
  ; goes when Windows next starts.
  !insertmacro _RunSetupHelper 'remove-copy-at-restart "$EXEPATH"'
  ${If} $R3 != 0
    DetailPrint $R4
  ${EndIf}
SectionEnd

; What the installer and the uninstaller leave to TalSetupHelper (built with
; the product, carried inside both, run from their own temporary folder):
; the data folder, starting the signed-in user's programs unelevated, and
; waiting for the programs of a folder to end or ending them (fleet.nsh runs it for a
; prepared configuration).
; Users may create folders under the common application-data folder, so
; nothing found there is trusted: the helper moves aside a folder that is a
; link or belongs to someone else, makes the folders owned by Administrators
; with the rights of common/shared_objects.h, and creates the configuration,
; its journal, the log and the lock file. The macros use $R3 and $R4.

!macro _RunSetupHelper arguments
  InitPluginsDir
  File "/oname=$PLUGINSDIR\TalSetupHelper.exe" "${TALVEX_SETUP_HELPER}"
  nsExec::ExecToStack '"$PLUGINSDIR\TalSetupHelper.exe" ${arguments}'
  Pop $R3 ; the exit code ("error" when it could not run)
  Pop $R4 ; what it said
!macroend

; Makes the data folder before any program file is replaced; an
; installation that cannot make it starts again what ran and stops with
; the reason (exit code 2 when silent).
!macro MakeDataFolder
  !insertmacro _RunSetupHelper 'make-data-folder "$APPDATA"'
  ${If} $R3 != 0
    DetailPrint $R4
    Call RestartWhatRan
    MessageBox MB_OK|MB_ICONSTOP "The Talvex Updater data folder could not be prepared: $R4" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  DetailPrint $R4
!macroend

; Makes the program folder with rights of its own, or checks the one found
; (named by /D=, or the registered one on an upgrade) and makes it safe;
; one that is refused stops the installation before anything is stopped or
; replaced, with the reason (exit code 2 when silent).
!macro MakeProgramFolder
  !insertmacro _RunSetupHelper 'make-program-folder "$INSTDIR"'
  DetailPrint $R4
  ${If} $R3 != 0
    MessageBox MB_OK|MB_ICONSTOP "Talvex Updater cannot be installed in this folder: $R4" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
!macroend

; out = 1 when the data folder is the real one and may be written or
; emptied; otherwise 0, and the reason is shown in the details.
!macro DataFolderIsReal out
  !insertmacro _RunSetupHelper 'check-data-folder "${DATA_FOLDER}"'
  StrCpy ${out} 0
  ${If} $R3 == 0
    StrCpy ${out} 1
  ${Else}
    DetailPrint "Nothing is deleted in the data folder: $R4"
  ${EndIf}
!macroend

; Starts a program of the signed-in user through the desktop shell, with
; that user's own unelevated rights, never with the installer's. When the
; shell cannot be reached the program starts at the next logon from its
; Startup shortcut; the details say why.
!macro StartAsUser program
  !insertmacro _RunSetupHelper 'start-as-user "${program}"'
  ${If} $R3 != 0
    DetailPrint "${program} starts at the next logon: $R4"
  ${EndIf}
!macroend

; Ends the programs of the folder that still run after 5 s, in every
; session (the uninstaller's StopEverything reaches only the windows of its
; own desktop); the details name those ended, or one that could not be.
!macro EndProgramsOf folder
  !insertmacro _RunSetupHelper 'end-programs "${folder}" 5'
  DetailPrint $R4
!macroend

; Waits (15 s at most) until no program of the folder runs any more; the
; details name one still running.
!macro WaitProgramsGone folder
  !insertmacro _RunSetupHelper 'wait-programs-gone "${folder}" 15'
  ${If} $R3 != 0
    DetailPrint $R4
  ${EndIf}
!macroend

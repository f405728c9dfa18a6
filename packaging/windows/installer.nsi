; The Windows installer of Tollwick Player, built by makensis on Debian (scripts/package-windows):
;   makensis -DVERSION=<version> -DSTAGE=<release layout> -DOUTFILE=<installer.exe> installer.nsi
; It puts the release layout under Program Files, adds a Start-menu folder and starts the tray
; launcher at logon without opening the browser. By default it installs for all the users of the PC:
; the bells ring whoever logs on, from one data directory, %ProgramData%\TollwickPlayer, which every
; user may write. Started with /CurrentUser, it installs for the current user alone, whose data stay
; in %APPDATA%\TollwickPlayer. The choice is written beside the program (data-directory.txt), where
; the program reads it. A user's data found in %APPDATA% when none are in ProgramData are moved there:
; copied, checked file by file, and the old directory renamed, never deleted. Uninstalling removes
; the program and its entries, never the data.
; A 64-bit installer, like the program it installs.
Target amd64-unicode
SetCompressor /SOLID lzma

!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define NAME "Tollwick Player"
!define EXE "tollwick-player.exe"
!define TRAY "tollwick-tray.exe"
!define DATA "TollwickPlayer"
!define CHOICE_FILE "data-directory.txt"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TollwickPlayer"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
RequestExecutionLevel admin
ShowInstDetails show

Var ForAllUsers ; 1 for every user of the PC, 0 for the current user alone
Var DataDir
Var CheckFailed
Var OldData ; the installing user's own data directory

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  StrCpy $ForAllUsers 1
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CurrentUser" $1
  ${IfNot} ${Errors}
    StrCpy $ForAllUsers 0
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  ReadRegDWORD $ForAllUsers HKLM "${UNINSTALL_KEY}" "AllUsers"
  ; Installed before the choice was recorded: for all users, as every installation then was.
  ${If} $ForAllUsers == ""
    StrCpy $ForAllUsers 1
  ${EndIf}
FunctionEnd

; Called by Locate for each file of the old directory ($R9): its copy under $DataDir must have the
; same size, to the byte.
Function CheckCopy
  StrLen $0 $OldData
  StrCpy $1 $R9 "" $0
  FileOpen $2 "$R9" r
  FileSeek $2 0 END $3
  FileClose $2
  ClearErrors
  FileOpen $2 "$DataDir$1" r
  ${If} ${Errors}
    StrCpy $CheckFailed "$1"
    Push "StopLocate"
    Return
  ${EndIf}
  FileSeek $2 0 END $4
  FileClose $2
  ${If} $3 != $4
    StrCpy $CheckFailed "$1"
    Push "StopLocate"
    Return
  ${EndIf}
  Push $0
FunctionEnd

; The installing user's data, when ProgramData holds none yet: copied there and checked; the old
; directory is then renamed, so that nothing is lost whatever happens.
Function MoveUsersData
  SetShellVarContext current
  StrCpy $OldData "$APPDATA\${DATA}"
  SetShellVarContext all
  ${IfNot} ${FileExists} "$OldData\_db.json"
  ${OrIf} ${FileExists} "$DataDir\_db.json"
    Return
  ${EndIf}
  MessageBox MB_YESNO|MB_ICONQUESTION "Your own bell timetables and calendar are in $OldData.$\r$\n$\r$\nMove them to $DataDir, so that the bells follow them whoever logs on?" /SD IDYES IDYES move
  Return
  move:
  DetailPrint "Copying $OldData to $DataDir"
  CopyFiles /SILENT "$OldData\*.*" "$DataDir"
  StrCpy $CheckFailed ""
  ${Locate} "$OldData" "/L=F" "CheckCopy"
  ${If} $CheckFailed != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "The copy of $CheckFailed is not complete. Your data stay in $OldData; the bells follow them only for you." /SD IDOK
    Return
  ${EndIf}
  Rename "$OldData" "$OldData.moved-to-ProgramData"
  DetailPrint "Moved; the old directory is now $OldData.moved-to-ProgramData"
FunctionEnd

Section "Install"
  ${If} $ForAllUsers == 1
    ; Shortcuts for every user of the PC, and one data directory that each of them may write.
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  StrCpy $DataDir "$APPDATA\${DATA}"

  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  FileOpen $0 "$INSTDIR\${CHOICE_FILE}" w
  ${If} $ForAllUsers == 1
    FileWrite $0 "ProgramData$\r$\n"
  ${Else}
    FileWrite $0 "AppData$\r$\n"
  ${EndIf}
  FileClose $0

  CreateDirectory "$DataDir\log"
  ${If} $ForAllUsers == 1
    ; The built-in group Users (S-1-5-32-545) may change what the directory holds.
    nsExec::Exec 'icacls "$DataDir" /grant *S-1-5-32-545:(OI)(CI)M /T'
    Pop $0
    Call MoveUsersData
  ${EndIf}

  CreateDirectory "$SMPROGRAMS\${NAME}"
  CreateShortcut "$SMPROGRAMS\${NAME}\${NAME}.lnk" "$INSTDIR\${TRAY}" "" "$INSTDIR\${TRAY}" 0
  WriteINIStr "$SMPROGRAMS\${NAME}\${NAME} dashboard.url" "InternetShortcut" "URL" "http://localhost:2233/"
  CreateShortcut "$SMPROGRAMS\${NAME}\Open the log folder.lnk" "$DataDir\log"
  CreateShortcut "$SMPROGRAMS\${NAME}\Uninstall ${NAME}.lnk" "$INSTDIR\uninstall.exe"
  ; Started at logon with the browser left closed; its icon sits in the notification area.
  CreateShortcut "$SMSTARTUP\${NAME}.lnk" "$INSTDIR\${TRAY}" "--no-popup" "$INSTDIR\${TRAY}" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "AllUsers" $ForAllUsers
SectionEnd

Section "Uninstall"
  ${If} $ForAllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  Delete "$SMSTARTUP\${NAME}.lnk"
  RMDir /r "$SMPROGRAMS\${NAME}"
  ; Only what the installer put there: the data, in ProgramData or under %APPDATA%, stay.
  Delete /REBOOTOK "$INSTDIR\${EXE}"
  Delete /REBOOTOK "$INSTDIR\${TRAY}"
  Delete "$INSTDIR\${CHOICE_FILE}"
  RMDir /r /REBOOTOK "$INSTDIR\assets"
  RMDir /r /REBOOTOK "$INSTDIR\web-ui"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

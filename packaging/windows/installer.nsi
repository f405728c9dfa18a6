; The Windows installer of Tollwick Player, built by makensis on Debian (scripts/package-windows):
;   makensis -DVERSION=<version> -DSTAGE=<release layout> -DOUTFILE=<installer.exe> installer.nsi
; It puts the release layout under Program Files, adds a Start-menu folder and starts the program at
; every logon, minimised and without opening the browser. Uninstalling removes the program, never the
; user data, which each user keeps in %APPDATA%\TollwickPlayer.
; A 64-bit installer, like the program it installs.
Target amd64-unicode
SetCompressor /SOLID lzma

!define NAME "Tollwick Player"
!define EXE "tollwick-player.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TollwickPlayer"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
RequestExecutionLevel admin
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  ; Shortcuts for every user of the PC: the bells ring whoever logs on.
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${NAME}"
  CreateShortcut "$SMPROGRAMS\${NAME}\${NAME}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 SW_SHOWMINIMIZED
  WriteINIStr "$SMPROGRAMS\${NAME}\${NAME} dashboard.url" "InternetShortcut" "URL" "http://localhost:2233/"
  CreateShortcut "$SMPROGRAMS\${NAME}\Uninstall ${NAME}.lnk" "$INSTDIR\uninstall.exe"
  ; Started at logon with the browser left closed.
  CreateShortcut "$SMSTARTUP\${NAME}.lnk" "$INSTDIR\${EXE}" "--no-popup" "$INSTDIR\${EXE}" 0 SW_SHOWMINIMIZED

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$SMSTARTUP\${NAME}.lnk"
  RMDir /r "$SMPROGRAMS\${NAME}"
  ; Only what the installer put there: the user data under %APPDATA% stays.
  Delete /REBOOTOK "$INSTDIR\${EXE}"
  RMDir /r /REBOOTOK "$INSTDIR\assets"
  RMDir /r /REBOOTOK "$INSTDIR\web-ui"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; The players' installer of the launcher (built by CMake with makensis; see the README):
; the launcher and its local files into a folder of the player's choice, the installation
; folder recorded for the launcher, Start-menu and desktop shortcuts, and an uninstaller.
; Defines given by the build: NB_LAUNCHER, NB_LOCALSTR, NB_VERSION_FILE, NB_ICON, NB_OUTFILE.
; A 64-bit installer, as the launcher is a 64-bit program (it also runs where no 32-bit
; Windows subsystem is installed).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define NB_NAME "NorbelrokOnline"
!define NB_KEY "Software\Ploxa\Nb"
!define NB_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\NorbelrokOnline"

Name "${NB_NAME}"
OutFile "${NB_OUTFILE}"
Icon "${NB_ICON}"
UninstallIcon "${NB_ICON}"
InstallDir "$PROGRAMFILES64\${NB_NAME}"
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ; The launcher is a 64-bit program: it reads the 64-bit registry.
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "/oname=NbLauncher.exe" "${NB_LAUNCHER}"
  File "/oname=nblocalstr.ini" "${NB_LOCALSTR}"
  File "/oname=nbnversion.vsn" "${NB_VERSION_FILE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The launcher's own record of where it is installed: the folder ending in a backslash.
  WriteRegStr HKLM "${NB_KEY}" "InstalledPath" "$INSTDIR\"

  CreateDirectory "$SMPROGRAMS\${NB_NAME}"
  CreateShortcut "$SMPROGRAMS\${NB_NAME}\${NB_NAME}.lnk" "$INSTDIR\NbLauncher.exe" "" "$INSTDIR\NbLauncher.exe" 0
  CreateShortcut "$SMPROGRAMS\${NB_NAME}\Uninstall.lnk" "$INSTDIR\Uninstall.exe"
  CreateShortcut "$DESKTOP\${NB_NAME}.lnk" "$INSTDIR\NbLauncher.exe" "" "$INSTDIR\NbLauncher.exe" 0

  WriteRegStr HKLM "${NB_UNINSTALL_KEY}" "DisplayName" "${NB_NAME}"
  WriteRegStr HKLM "${NB_UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\NbLauncher.exe"
  WriteRegStr HKLM "${NB_UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${NB_UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKLM "${NB_UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${NB_UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$DESKTOP\${NB_NAME}.lnk"
  Delete "$SMPROGRAMS\${NB_NAME}\${NB_NAME}.lnk"
  Delete "$SMPROGRAMS\${NB_NAME}\Uninstall.lnk"
  RMDir "$SMPROGRAMS\${NB_NAME}"
  ; Only the installer's own files: what the game and its patches added stays with the player.
  Delete "$INSTDIR\NbLauncher.exe"
  Delete "$INSTDIR\_NbLauncher.bin"
  Delete "$INSTDIR\nblocalstr.ini"
  Delete "$INSTDIR\nbnversion.vsn"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegValue HKLM "${NB_KEY}" "InstalledPath"
  DeleteRegKey /ifempty HKLM "${NB_KEY}"
  DeleteRegKey HKLM "${NB_UNINSTALL_KEY}"
SectionEnd

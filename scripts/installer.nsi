; Tintora installer (NSIS 3, 64-bit Unicode stub).
; Installs into Program Files\Tintora with a Start menu entry. The uninstaller
; removes the installed files, the Start menu entry, the program's startup
; entry and its settings key.
;
; makensis -DVERSION=<version> -DSTAGE_DIR=<dir with the files> -DOUT_FILE=<setup.exe> installer.nsi
; (scripts/package.sh does this.)

Unicode true
Target amd64-unicode

!ifndef VERSION | STAGE_DIR | OUT_FILE
  !error "define VERSION, STAGE_DIR and OUT_FILE"
!endif

!include "WinMessages.nsh"

!define APP "Tintora"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tintora"
!define RUN_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "SOFTWARE\MossVane\Tintora"
!define VENDOR_KEY "SOFTWARE\MossVane"

Name "${APP} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\${APP}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${APP}"
VIAddVersionKey /LANG=1033 "CompanyName" "MossVane"
VIAddVersionKey /LANG=1033 "FileDescription" "${APP} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 MossVane"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; A running label would keep its exe locked and, when it ends later, write its
; position back into the settings key the uninstaller just removed: ask it to
; close first, and wait until it has gone.
!macro CloseRunningLabel un
Function ${un}CloseRunningLabel
  Push $0
  Push $1
  StrCpy $1 0
  loop:
    FindWindow $0 "Tintora" "Tintora"
    IntCmp $0 0 done
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    Sleep 100
    IntOp $1 $1 + 1
    IntCmp $1 50 done loop done
  done:
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CloseRunningLabel ""
!insertmacro CloseRunningLabel "un."

Section "${APP}"
  SetRegView 64
  SetShellVarContext all
  Call CloseRunningLabel
  SetOutPath "$INSTDIR"
  File "${STAGE_DIR}/tintora.exe"
  File "${STAGE_DIR}/tintora-name.exe"
  File "${STAGE_DIR}/README.md"
  File "${STAGE_DIR}/LICENSE"
  File "${STAGE_DIR}/OFL.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${APP}"
  CreateShortcut "$SMPROGRAMS\${APP}\${APP}.lnk" "$INSTDIR\tintora.exe"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "MossVane"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\tintora.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  Call un.CloseRunningLabel
  ; Only what was installed: the folder may hold files of the user's.
  Delete "$INSTDIR\tintora.exe"
  Delete "$INSTDIR\tintora-name.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\OFL.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${APP}\${APP}.lnk"
  RMDir "$SMPROGRAMS\${APP}"

  DeleteRegValue HKCU "${RUN_KEY}" "Tintora"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "${VENDOR_KEY}"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

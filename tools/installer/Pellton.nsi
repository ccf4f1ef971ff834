; Pellton's installer (NSIS 3). A per-user install: no administrator rights,
; into %LOCALAPPDATA%\Programs\Pellton, a folder that stays writable, so the
; program keeps Pellton.sql beside itself and its updates can replace its
; files. A Start-menu shortcut, an entry in the installed-apps list under
; HKCU, and an uninstaller that removes the program and keeps the user's
; activity data unless asked to remove it too.
;
; Command line: /S installs (and Uninstall.exe /S uninstalls) without a
; window; Uninstall.exe /S /REMOVEDATA also removes the activity data and the
; settings. /D=FOLDER (last on the line) installs elsewhere.
;
; Defined by the caller (tools/installer/CMakeLists.txt, tools/package.sh):
;   VERSION       the version text of the program's version block (1.06)
;   FILE_VERSION  its four numbers (1.6.0.0)
;   PROGRAM       the 64-bit Pellton.exe
;   TEXTS         the folder holding README.txt and LICENSES.txt
;   ICON          the program's icon (.ico)
;   OUTFILE       the installer to write

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true
AllowSkipFiles off
; Installed files take the time of their install, and the same input makes
; the same installer.
SetDateSave off

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pellton"
!define SETTINGS_KEY "Software\Vantrel\Pellton"

Name "Pellton"
Caption "Pellton ${VERSION} Setup"
UninstallCaption "Pellton Uninstall"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Pellton"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Pellton ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Pellton"
VIAddVersionKey /LANG=1033 "CompanyName" "Vantrel"
VIAddVersionKey /LANG=1033 "FileDescription" "Pellton ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) Vantrel"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs Pellton ${VERSION}, the viewer for the Samsung EI-AN900 activity tracker, for you alone: it needs no administrator rights.$\r$\n$\r$\nPellton keeps the history it downloads in Pellton.sql, in its own folder. Installing a newer version keeps that file.$\r$\n$\r$\nClick Install to continue."
!define MUI_FINISHPAGE_RUN "$INSTDIR\Pellton.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckNotRunning
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!define MUI_COMPONENTSPAGE_TEXT_TOP "Pellton is removed from $INSTDIR. Your activity data there (Pellton.sql, the copies Pellton set aside, backups named Pellton*.sql) and your settings stay unless you tick removing them."
!define MUI_COMPONENTSPAGE_TEXT_COMPLIST "Also remove:"
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running Pellton holds its program file: it cannot be replaced or removed
; then, and a half-replaced or half-removed folder helps nobody. The check
; opens the file for writing, which Windows refuses for a running program.
!macro CHECK_NOT_RUNNING un
Function ${un}CheckNotRunning
  IfFileExists "$INSTDIR\Pellton.exe" 0 free
  retry:
    ClearErrors
    FileOpen $0 "$INSTDIR\Pellton.exe" a
    IfErrors 0 closed
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Pellton is running from $INSTDIR.$\r$\n$\r$\nClose it, then click Retry." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 3
    Quit
  closed:
    FileClose $0
  free:
FunctionEnd
!macroend
!insertmacro CHECK_NOT_RUNNING ""
!insertmacro CHECK_NOT_RUNNING "un."

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "This Pellton is for 64-bit Windows. On 32-bit Windows use the portable Pellton-${VERSION}-win32.zip." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Section "-Pellton" SecProgram
  ; Silent installs have no welcome page to check on leaving.
  ${If} ${Silent}
    Call CheckNotRunning
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "/oname=Pellton.exe" "${PROGRAM}"
  File "${TEXTS}\README.txt"
  File "${TEXTS}\LICENSES.txt"
  ; What an update of the copy installed before left behind.
  Delete "$INSTDIR\Pellton_old.exe"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Pellton.lnk" "$INSTDIR\Pellton.exe" "" "$INSTDIR\Pellton.exe" 0 \
                 SW_SHOWNORMAL "" "Views the history of a Samsung EI-AN900 activity tracker"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Pellton"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Vantrel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pellton.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "http://www.vantrel.com/"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecProgram} $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The uninstaller names every file it removes: the folder may hold files the
; user put there, and those are never touched.
Section "-un.Pellton"
  Call un.CheckNotRunning
  Delete "$INSTDIR\Pellton.exe"
  ; Left by updates: the program set aside, a download not yet moved in.
  Delete "$INSTDIR\Pellton_old.exe"
  Delete "$INSTDIR\Pellton_new.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSES.txt"
  ; Crash reports that were never sent.
  Delete "$INSTDIR\Pellton_Debug.dmp"
  Delete "$INSTDIR\Pellton_Debug.txt"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "$SMPROGRAMS\Pellton.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.My activity data and settings" SecData
  ; Pellton.sql, the files Pellton set aside (Pellton-set-aside-*.sql) and
  ; backups named after it, each with the journals SQLite may leave.
  Delete "$INSTDIR\Pellton*.sql"
  Delete "$INSTDIR\Pellton*.sql-wal"
  Delete "$INSTDIR\Pellton*.sql-shm"
  Delete "$INSTDIR\Pellton*.sql-journal"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Vantrel"
SectionEnd

Section "-un.Folder"
  ; Only an empty folder goes: kept data keeps its folder.
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEDATA" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecData}
  ${EndIf}
FunctionEnd

; The Windows installer of Norvalis, made by scripts/windows/make-installer.sh:
;   makensis -INPUTCHARSET UTF8 -DSTAGE=<programs, DLLs, plugins, help> -DVERSION=0.1.0
;            -DFILE_VERSION=0.1.0.0 -DICON=<norvalis.ico> -DUNINSTALL_LIST=<Delete lines of the staged files>
;            -DOUTFILE=<NorvalisSetup-0.1.0.exe> Norvalis.nsi
; For the current user (no administrator needed) or for all users (/CurrentUser, /AllUsers;
; /S silent). The uninstaller leaves the user's settings (%APPDATA%\Kestrune\Norvalis).
Unicode true
; A 64-bit installer for a 64-bit program.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Norvalis"
!define CLASSES "Software\Classes"
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "Norvalis"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh

Name "Norvalis"
OutFile "${OUTFILE}"
BrandingText "Kestrune Norvalis ${VERSION}"
VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1041 "ProductName" "Norvalis"
VIAddVersionKey /LANG=1041 "CompanyName" "Kestrune"
VIAddVersionKey /LANG=1041 "FileDescription" "Norvalis のインストーラー"
VIAddVersionKey /LANG=1041 "FileVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Kestrune"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\norvalis.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Function .onInit
  SetRegView 64
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

; A document type opened by norvalis.exe with the file as its argument.
!macro FileClass CLASS TEXT
  WriteRegStr SHCTX "${CLASSES}\${CLASS}" "" "${TEXT}"
  WriteRegStr SHCTX "${CLASSES}\${CLASS}\DefaultIcon" "" "$INSTDIR\norvalis.exe,0"
  WriteRegStr SHCTX "${CLASSES}\${CLASS}\shell\open\command" "" '"$INSTDIR\norvalis.exe" "%1"'
!macroend

Section "Norvalis"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Norvalis.lnk" "$INSTDIR\norvalis.exe"

  ; Project files open in Norvalis; CSV files offer it under "Open with".
  WriteRegStr SHCTX "${CLASSES}\.NVS" "" "Norvalis.Project"
  !insertmacro FileClass "Norvalis.Project" "Norvalisプロジェクトファイル"
  !insertmacro FileClass "Norvalis.Csv" "CSVファイル"
  WriteRegStr SHCTX "${CLASSES}\.csv\OpenWithProgids" "Norvalis.Csv" ""
  WriteRegStr SHCTX "${CLASSES}\Applications\norvalis.exe\shell\open\command" "" '"$INSTDIR\norvalis.exe" "%1"'
  WriteRegStr SHCTX "${CLASSES}\Applications\norvalis.exe\SupportedTypes" ".csv" ""
  WriteRegStr SHCTX "${CLASSES}\Applications\norvalis.exe\SupportedTypes" ".nvs" ""

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Norvalis"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Kestrune"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\norvalis.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallMode" "$MultiUser.InstallMode"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ; SHCNE_ASSOCCHANGED: Explorer shows the new file types at once.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Norvalis.lnk"
  ReadRegStr $0 SHCTX "${CLASSES}\.NVS" ""
  ${If} $0 == "Norvalis.Project"
    DeleteRegKey SHCTX "${CLASSES}\.NVS"
  ${EndIf}
  DeleteRegKey SHCTX "${CLASSES}\Norvalis.Project"
  DeleteRegKey SHCTX "${CLASSES}\Norvalis.Csv"
  DeleteRegValue SHCTX "${CLASSES}\.csv\OpenWithProgids" "Norvalis.Csv"
  DeleteRegKey SHCTX "${CLASSES}\Applications\norvalis.exe"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  ; Only what the installer put there: the folder may have been chosen with other files in it.
  !include "${UNINSTALL_LIST}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd

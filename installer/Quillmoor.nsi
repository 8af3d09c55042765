; Installer of the Brindlewick cookie cleaner (the Quillmoor program and its files).
; Built by `make installer`: makensis -DVERSION=... -DDIST=<dist folder> -DOUTFILE=<setup exe>
;
; Silent use: Setup.exe /S [/D=folder]; uninstall silently with Uninstall.exe /S, adding
; /REMOVESETTINGS to also remove the user's settings.

Unicode false
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef DIST
  !error "DIST is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "Quillmoor-Setup-${VERSION}.exe"
!endif

!define APPNAME "Brindlewick"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmoor"
; The settings folder name comes from "App.ConfigPath" in const.dat.
!define CONFIGFOLDER "Brindlewick"

Name "${APPNAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Quillmoor"
InstallDirRegKey HKLM "${UNINSTKEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "${APPNAME} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${APPNAME}"
VIAddVersionKey "FileDescription" "${APPNAME} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 the Quillmoor developers"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Quillmoor.exe"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "Program" SecProgram
  SectionIn RO
  ; A running copy keeps its files open: ask it to end first (the program's own "/s" switch).
  IfFileExists "$INSTDIR\Quillmoor.exe" 0 +2
    ExecWait '"$INSTDIR\Quillmoor.exe" /s'
  SetOutPath "$INSTDIR"
  File /r /x "Quillmoor-Setup-*.exe" /x "*.zip" "${DIST}\*.*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${APPNAME}"
  CreateShortCut "$SMPROGRAMS\${APPNAME}\${APPNAME}.lnk" "$INSTDIR\Quillmoor.exe"
  CreateShortCut "$SMPROGRAMS\${APPNAME}\Uninstall ${APPNAME}.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${APPNAME} ${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\Quillmoor.exe,0"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "The Quillmoor developers"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTKEY}" "EstimatedSize" $0
SectionEnd

Section "un.Program" UnSecProgram
  SectionIn RO
  ; End a running instance first, then remove the files; an executable still held open is
  ; retried for a few seconds.
  IfFileExists "$INSTDIR\Quillmoor.exe" 0 +2
    ExecWait '"$INSTDIR\Quillmoor.exe" /s'
  StrCpy $0 0
  ${Do}
    ClearErrors
    Delete "$INSTDIR\Quillmoor.exe"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    IntOp $0 $0 + 1
    ${If} $0 >= 20
      Delete /REBOOTOK "$INSTDIR\Quillmoor.exe"
      ${Break}
    ${EndIf}
    Sleep 250
  ${Loop}
  Delete "$INSTDIR\TraceViewer.exe"
  Delete "$INSTDIR\const.dat"
  Delete "$INSTDIR\oem.const.dat"
  Delete "$INSTDIR\qx.xpi"
  RMDir /r "$INSTDIR\res"
  RMDir /r "$INSTDIR\langs"
  RMDir /r "$INSTDIR\skins"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${APPNAME}\${APPNAME}.lnk"
  Delete "$SMPROGRAMS\${APPNAME}\Uninstall ${APPNAME}.lnk"
  RMDir "$SMPROGRAMS\${APPNAME}"
  DeleteRegKey HKLM "${UNINSTKEY}"
SectionEnd

; Off unless the user ticks it (or passes /REMOVESETTINGS when silent): "setting.dat" and the
; banner cache are the user's own.
Section /o "un.My settings" UnSecSettings
  SetShellVarContext current
  RMDir /r "$APPDATA\${CONFIGFOLDER}"
  SetShellVarContext all
  RMDir /r "$APPDATA\${CONFIGFOLDER}"
SectionEnd

Function .onInit
  SetShellVarContext all  ; the Start-menu entry serves every user of the machine
FunctionEnd

Function un.onInit
  SetShellVarContext all
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecSettings}
  ${EndIf}
FunctionEnd

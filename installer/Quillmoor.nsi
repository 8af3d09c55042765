; Installer of the Brindlewick cookie cleaner (the Quillmoor program and its files).
; Built by `make installer`: makensis -DVERSION=... -DDIST=<dist folder> -DOUTFILE=<setup exe>
;   -DFILELISTS=<folder where installer/filelist.sh wrote install.nsh and uninstall.nsh>
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
!ifndef FILELISTS
  !error "FILELISTS is not defined (the folder of installer/filelist.sh's lists)"
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

; A running copy keeps its files open, so it is asked to end first, through the program's own
; "/s" switch. That start is a start like any other: it creates the settings folder with
; "UserFlag.ini" and "setting.dat" and counts itself. So it runs only while a main window
; exists; an uninstall of a program that was never started leaves no settings behind.
!macro EndRunningCopy
  FindWindow $0 "TfrmMain"
  ${If} $0 <> 0
  ${AndIf} ${FileExists} "$INSTDIR\Quillmoor.exe"
    ExecWait '"$INSTDIR\Quillmoor.exe" /s'
    ; The copy closes its window on the message; give it a few seconds.
    StrCpy $1 0
    ${Do}
      FindWindow $0 "TfrmMain"
      ${If} $0 = 0
      ${OrIf} $1 >= 40
        ${Break}
      ${EndIf}
      Sleep 250
      IntOp $1 $1 + 1
    ${Loop}
  ${EndIf}
!macroend

; The files the program keeps in its settings folder under `base`, by name: whatever else
; someone put there stays, and with it the folder.
!macro RemoveSettingsIn base
  Delete "${base}\${CONFIGFOLDER}\setting.dat"
  Delete "${base}\${CONFIGFOLDER}\setting.dat.*.tmp"
  Delete "${base}\${CONFIGFOLDER}\UserFlag.ini"
  Delete "${base}\${CONFIGFOLDER}\UserFlag.ini.*.tmp"
  Delete "${base}\${CONFIGFOLDER}\Banners\*"
  RMDir "${base}\${CONFIGFOLDER}\Banners"
  RMDir "${base}\${CONFIGFOLDER}"
!macroend

Section "Program" SecProgram
  SectionIn RO
  !insertmacro EndRunningCopy
  SetOutPath "$INSTDIR"
  !include "${FILELISTS}/install.nsh"
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
  !insertmacro EndRunningCopy
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
  ; Exactly what the installer put there, then each folder only when that left it empty: a
  ; skin or language the user added, or another program's files in the same folder, stay.
  !include "${FILELISTS}/uninstall.nsh"
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
  !insertmacro RemoveSettingsIn "$APPDATA"
  SetShellVarContext all
  !insertmacro RemoveSettingsIn "$APPDATA"
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

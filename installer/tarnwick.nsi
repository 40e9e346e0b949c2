; The Tarnwick setup program: one installer for both kinds of Windows. It installs the 64-bit
; build on 64-bit Windows and the 32-bit build on 32-bit Windows, per machine, into
; "Program Files\Tarnwick", with a Start menu shortcut and an Add/Remove Programs entry.
; `/S` installs and uninstalls silently.
;
; makensis -DVERSION=2.6.0 -DWIN64_DIR=<folder> -DWIN32_DIR=<folder> -DOUT_FILE=<setup.exe>
;          -DICON_FILE=<icon> [-DTARGET=amd64-unicode] [-DQUICK_COMPRESSION] installer/tarnwick.nsi
; WIN64_DIR and WIN32_DIR each hold Tarnwick.exe, tarnwick-cli.exe and "Tarnwick Help.html";
; either may be left out (a test setup of one build), and the setup then refuses the other kind
; of Windows. The release setup is x86-unicode, which runs on both.

Unicode true
!ifdef TARGET
  Target ${TARGET}
!endif
!ifndef VERSION
  !error "VERSION is required"
!endif
!ifndef OUT_FILE
  !error "OUT_FILE is required"
!endif
!if ! ${NSIS_PTR_SIZE} > 4
  !ifndef WIN32_DIR
  !ifndef WIN64_DIR
    !error "WIN32_DIR or WIN64_DIR is required"
  !endif
  !endif
!endif

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Tarnwick"
!define PUBLISHER "The Tarnwick developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"
!define SHORTCUT "$SMPROGRAMS\Tarnwick.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
RequestExecutionLevel admin
!ifdef QUICK_COMPRESSION
  SetCompressor zlib
!else
  SetCompressor /SOLID lzma
!endif
InstallDir "$PROGRAMFILES\Tarnwick"
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!ifdef ICON_FILE
  !define MUI_ICON "${ICON_FILE}"
  !define MUI_UNICON "${ICON_FILE}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tarnwick.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tarnwick"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The registry view and the folder of the Windows this runs on: a 32-bit setup on 64-bit
; Windows would otherwise see the redirected "Program Files (x86)" and WOW6432Node.
!macro UseNativeView
  SetShellVarContext all
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

Function .onInit
  !insertmacro UseNativeView
  ${If} ${RunningX64}
    !ifndef WIN64_DIR
      MessageBox MB_OK|MB_ICONSTOP "This setup holds only the 32-bit Tarnwick, which is for 32-bit Windows." /SD IDOK
      SetErrorLevel 2
      Quit
    !endif
    StrCpy $INSTDIR "$PROGRAMFILES64\Tarnwick"
  ${Else}
    !ifndef WIN32_DIR
      MessageBox MB_OK|MB_ICONSTOP "This setup holds only the 64-bit Tarnwick, which is for 64-bit Windows." /SD IDOK
      SetErrorLevel 2
      Quit
    !endif
  ${EndIf}
  ; A Tarnwick installed earlier is updated where it is.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

Section "Tarnwick" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  SetOverwrite on
  ${If} ${RunningX64}
    !ifdef WIN64_DIR
      File "${WIN64_DIR}\Tarnwick.exe"
      File "${WIN64_DIR}\tarnwick-cli.exe"
      File "${WIN64_DIR}\Tarnwick Help.html"
    !endif
  ${Else}
    !ifdef WIN32_DIR
      File "${WIN32_DIR}\Tarnwick.exe"
      File "${WIN32_DIR}\tarnwick-cli.exe"
      File "${WIN32_DIR}\Tarnwick Help.html"
    !endif
  ${EndIf}
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\Tarnwick.exe" "" "$INSTDIR\Tarnwick.exe" 0 SW_SHOWNORMAL "" "Finds and repairs registry entries that point at things that no longer exist"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tarnwick.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In kilobytes, of the files just installed (backups made later are the user's).
  ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
  ${GetSize} "$INSTDIR" "/M=*.html /S=0K /G=0" $3 $1 $2
  IntOp $0 $0 + $3
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  !insertmacro UseNativeView
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\Tarnwick.exe"
  Delete "$INSTDIR\tarnwick-cli.exe"
  Delete "$INSTDIR\Tarnwick Help.html"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The backups are the user's: they undo repairs, so they stay unless the user says otherwise
  ; (a silent uninstall keeps them).
  ${If} ${FileExists} "$INSTDIR\Registry Backups\*.*"
  ${OrIf} ${FileExists} "$INSTDIR\Full Backups\*.*"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "Delete your registry backups as well?$\r$\n$\r$\nThey are kept in $INSTDIR and are what undoes a repair made with Tarnwick. Choose No to keep them." \
      /SD IDNO IDNO keep_backups
    RMDir /r "$INSTDIR\Registry Backups"
    RMDir /r "$INSTDIR\Full Backups"
    RMDir /r "$INSTDIR\Log"
  keep_backups:
  ${Else}
    RMDir /r "$INSTDIR\Log"
  ${EndIf}

  Delete "$INSTDIR\Uninstall.exe"
  ; Only an empty folder goes: kept backups keep it.
  RMDir "$INSTDIR"
SectionEnd

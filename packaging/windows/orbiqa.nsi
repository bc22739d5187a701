; The Windows installer: per machine, into Program Files, with a Start-menu shortcut and an
; uninstaller. makensis -DVERSION=... -DSTAGE=... -DOUTFILE=... orbiqa.nsi
; The program keeps ZenitSetup.ini and reads APNs.dat in its working folder, which cannot be
; Program Files: the shortcut starts it in %LOCALAPPDATA%\Orbiqa, a folder of the user's own.
; A 64-bit installer for a 64-bit program (it also runs where only 64-bit Wine is present).
Target amd64-unicode
!include "MUI2.nsh"

Name "Orbiqa ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orbiqa"
InstallDirRegKey HKLM "Software\Orbiqa" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "Orbiqa ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Orbiqa"
VIAddVersionKey "FileDescription" "Orbiqa installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "Orbiqa"
VIAddVersionKey "LegalCopyright" "Orbiqa developers"

!define MUI_ICON "orbiqa.ico"
!define MUI_UNICON "orbiqa.ico"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orbiqa"
; Windows runs an Active Setup component's command once for every user at their next logon: it
; makes the working folder for the users other than the one who installs.
!define ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\Orbiqa"
; The shortcut's "Start in" folder; the shell expands the variable for each user.
!define WORK_FOLDER "%LOCALAPPDATA%\Orbiqa"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Hungarian"
!insertmacro MUI_LANGUAGE "English"

Section "Orbiqa"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The working folder of the user who installs; the program creates nothing outside it.
    SetShellVarContext current
    CreateDirectory "$LOCALAPPDATA\Orbiqa"
    SetShellVarContext all

    CreateDirectory "$SMPROGRAMS\Orbiqa"
    StrCpy $OUTDIR "${WORK_FOLDER}"
    CreateShortCut "$SMPROGRAMS\Orbiqa\Orbiqa.lnk" "$INSTDIR\orbiqa.exe" "" "$INSTDIR\orbiqa.exe" 0
    CreateShortCut "$SMPROGRAMS\Orbiqa\Uninstall Orbiqa.lnk" "$INSTDIR\uninstall.exe"
    SetOutPath "$INSTDIR"

    WriteRegStr HKLM "Software\Orbiqa" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Orbiqa"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Orbiqa"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orbiqa.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

    WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "Orbiqa"
    WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "Version" "${VERSION_COMMAS}"
    WriteRegExpandStr HKLM "${ACTIVE_SETUP_KEY}" "StubPath" \
        '"%SystemRoot%\System32\cmd.exe" /c if not exist "${WORK_FOLDER}" mkdir "${WORK_FOLDER}"'
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\Orbiqa\Orbiqa.lnk"
    Delete "$SMPROGRAMS\Orbiqa\Uninstall Orbiqa.lnk"
    RMDir "$SMPROGRAMS\Orbiqa"
    ; Only what the installer put there; the users' settings and parameter files stay.
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    RMDir /r "$INSTDIR\translations"
    RMDir /r "$INSTDIR\doc"
    Delete "$INSTDIR\*.exe"
    Delete "$INSTDIR\*.dll"
    Delete "$INSTDIR\orbiqa.ico"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
    DeleteRegKey HKLM "Software\Orbiqa"
SectionEnd

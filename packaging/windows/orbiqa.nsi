; The Windows installer. makensis -DVERSION=... -DVERSION_COMMAS=... -DSTAGE=... -DOUTFILE=...
;   -DINSTALL_LIST=... -DUNINSTALL_LIST=... -DESTIMATED_SIZE_KB=... -DMARKER=... [-DSIGN_COMMAND=...]
;   orbiqa.nsi (package.sh gives them all)
;
; Per machine into Program Files with administrator rights, or per user into
; %LOCALAPPDATA%\Programs\Orbiqa without them: the usual choice when run interactively, /AllUsers
; or /CurrentUser on a silent command line (/S). The program keeps its settings in the user's
; %LOCALAPPDATA%\Orbiqa, which it makes itself (the marker file orbiqa.installed tells it that
; it is installed), so the installer writes nothing for any user but the registrations.
; The uninstaller removes exactly the files the installer put there (INSTALL_LIST and
; UNINSTALL_LIST are made from the staged program by package.sh), never by wildcard.
; A 64-bit installer for a 64-bit program (it also runs where only 64-bit Wine is present).
Target amd64-unicode

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "Orbiqa"
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "Software\Orbiqa"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallDir"
; An upgrade keeps the mode of the installation it replaces.
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "Software\Orbiqa"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!include "MultiUser.nsh"
!include "MUI2.nsh"
!include "LogicLib.nsh"

Name "Orbiqa ${VERSION}"
OutFile "${OUTFILE}"
SetCompressor /SOLID lzma
BrandingText "Orbiqa ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Orbiqa"
VIAddVersionKey "FileDescription" "Orbiqa installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "Orbiqa"
VIAddVersionKey "LegalCopyright" "Orbiqa developers"

!ifdef SIGN_COMMAND
; The uninstaller is signed as it is made, before it is packed into the installer.
!uninstfinalize '${SIGN_COMMAND} "%1"' = 0
!endif

!define MUI_ICON "orbiqa.ico"
!define MUI_UNICON "orbiqa.ico"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orbiqa"
!define APP_PATHS_KEY "Software\Microsoft\Windows\CurrentVersion\App Paths\orbiqa-cli.exe"
!define PROGID "Orbiqa.VR3"
; Earlier versions made the working folder through Active Setup; the program now makes it.
!define OLD_ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\Orbiqa"
; The program holds this mutex while it runs (platform/InstanceChannelWin32.cpp).
!define RUNNING_MUTEX "Local\OrbiqaRunning"

; The choice of mode in the installer's own language (NSIS's Hungarian file has no such texts).
!define MULTIUSER_INSTALLMODEPAGE_TEXT_TOP "$(ModeTop)"
!define MULTIUSER_INSTALLMODEPAGE_TEXT_ALLUSERS "$(ModeAllUsers)"
!define MULTIUSER_INSTALLMODEPAGE_TEXT_CURRENTUSER "$(ModeCurrentUser)"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Hungarian"
!insertmacro MUI_LANGUAGE "English"

LangString ModeTop ${LANG_HUNGARIAN} "Telepítse az Orbiqát a számítógép minden felhasználójának, vagy csak önmagának? $(^ClickNext)"
LangString ModeTop ${LANG_ENGLISH} "Install Orbiqa for every user of this computer, or only for yourself? $(^ClickNext)"
LangString ModeAllUsers ${LANG_HUNGARIAN} "A számítógép minden felhasználójának (Program Files)"
LangString ModeAllUsers ${LANG_ENGLISH} "For every user of this computer (Program Files)"
LangString ModeCurrentUser ${LANG_HUNGARIAN} "Csak nekem"
LangString ModeCurrentUser ${LANG_ENGLISH} "Only for me"
LangString RunningText ${LANG_HUNGARIAN} "Az Orbiqa fut. Zárja be, majd kattintson az Újra gombra."
LangString RunningText ${LANG_ENGLISH} "Orbiqa is running. Close it, then choose Retry."

; Asks to close a running Orbiqa: replacing or removing its files under it would break it. A
; silent run cannot ask and ends with status 2 instead.
!macro CLOSE_RUNNING_PROGRAM
    ${Do}
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
        ${If} $0 = 0
            ; Where the mutex is not seen (another session), Windows still locks a running
            ; program's file against writing.
            ${IfNot} ${FileExists} "$INSTDIR\orbiqa.exe"
                ${Break}
            ${EndIf}
            ClearErrors
            FileOpen $1 "$INSTDIR\orbiqa.exe" a
            ${IfNot} ${Errors}
                FileClose $1
                ${Break}
            ${EndIf}
        ${Else}
            System::Call 'kernel32::CloseHandle(p r0)'
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(RunningText)" /SD IDCANCEL IDRETRY close_retry
        SetErrorLevel 2
        Quit
        close_retry:
    ${Loop}
!macroend

Function .onInit
    !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
    !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Orbiqa"
    !insertmacro CLOSE_RUNNING_PROGRAM
    SetOutPath "$INSTDIR"
    !include "${INSTALL_LIST}"
    SetOutPath "$INSTDIR"
    File "/oname=orbiqa.installed" "${MARKER}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\Orbiqa"
    ; The file dialogs start in the working folder: the user's own, which always exists.
    StrCpy $OUTDIR "%USERPROFILE%"
    CreateShortCut "$SMPROGRAMS\Orbiqa\Orbiqa.lnk" "$INSTDIR\orbiqa.exe" "" "$INSTDIR\orbiqa.exe" 0
    CreateShortCut "$SMPROGRAMS\Orbiqa\Uninstall Orbiqa.lnk" "$INSTDIR\uninstall.exe"
    SetOutPath "$INSTDIR"

    ; SHCTX is HKLM for a per-machine installation and HKCU for a per-user one.
    WriteRegStr SHCTX "Software\Orbiqa" "InstallDir" "$INSTDIR"
    WriteRegStr SHCTX "Software\Orbiqa" "InstallMode" "$MultiUser.InstallMode"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Orbiqa"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Orbiqa"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orbiqa.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S /$MultiUser.InstallMode'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${ESTIMATED_SIZE_KB}
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1

    ; "orbiqa-cli" started by name (Run box, start, scripts that use the shell).
    WriteRegStr SHCTX "${APP_PATHS_KEY}" "" "$INSTDIR\orbiqa-cli.exe"
    WriteRegStr SHCTX "${APP_PATHS_KEY}" "Path" "$INSTDIR"

    ; .VR3 files open in the editor by double-click.
    WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "Velmora 3 GPRS Data"
    WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\orbiqa.exe",0'
    WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\orbiqa.exe" "%1"'
    WriteRegStr SHCTX "Software\Classes\.VR3" "" "${PROGID}"
    WriteRegStr SHCTX "Software\Classes\.VR3\OpenWithProgids" "${PROGID}" ""
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

    DeleteRegKey HKLM "${OLD_ACTIVE_SETUP_KEY}"
SectionEnd

Section "Uninstall"
    !insertmacro CLOSE_RUNNING_PROGRAM
    Delete "$SMPROGRAMS\Orbiqa\Orbiqa.lnk"
    Delete "$SMPROGRAMS\Orbiqa\Uninstall Orbiqa.lnk"
    RMDir "$SMPROGRAMS\Orbiqa"
    ; Exactly the installed files; folders only when empty, so that what a user put into the
    ; install folder stays with it. Settings and parameter files live elsewhere and stay.
    !include "${UNINSTALL_LIST}"
    Delete "$INSTDIR\orbiqa.installed"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    DeleteRegKey SHCTX "${APP_PATHS_KEY}"
    DeleteRegKey SHCTX "Software\Classes\${PROGID}"
    DeleteRegValue SHCTX "Software\Classes\.VR3\OpenWithProgids" "${PROGID}"
    DeleteRegKey /IfEmpty SHCTX "Software\Classes\.VR3\OpenWithProgids"
    ; .VR3 is left to another program that has taken it since.
    ReadRegStr $0 SHCTX "Software\Classes\.VR3" ""
    ${If} $0 == "${PROGID}"
        DeleteRegValue SHCTX "Software\Classes\.VR3" ""
    ${EndIf}
    DeleteRegKey /IfEmpty SHCTX "Software\Classes\.VR3"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
    DeleteRegKey SHCTX "Software\Orbiqa"
SectionEnd

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
; The component "PATH" (on unless the installation it replaces was made without it; /Path or
; /NoPath on a silent command line) adds the install folder to the user's or the machine's PATH, so that cmd.exe finds
; orbiqa-cli by name; the uninstaller takes out exactly that entry.
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
; Shown when /AllUsers is asked for without administrator rights.
!define MULTIUSER_INIT_TEXT_ALLUSERSNOTPOSSIBLE "$(AllUsersNotPossible)"
!include "MultiUser.nsh"
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"

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
; The program holds this mutex while it runs (shell/InstanceChannelWin32.cpp).
!define RUNNING_MUTEX "Local\OrbiqaRunning"

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The page that chooses the mode, in each language. NSIS's Hungarian file has none of its texts
; (it would show the English ones); a language file takes a string that is already defined when
; MUI_LANGUAGE includes it, and drops the define again, so each language sets its own here.
!macro MODE_PAGE_TEXTS TITLE SUBTITLE TOP ALLUSERS CURRENTUSER
    !define MULTIUSER_TEXT_INSTALLMODE_TITLE "${TITLE}"
    !define MULTIUSER_TEXT_INSTALLMODE_SUBTITLE "${SUBTITLE}"
    !define MULTIUSER_INNERTEXT_INSTALLMODE_TOP "${TOP}"
    !define MULTIUSER_INNERTEXT_INSTALLMODE_ALLUSERS "${ALLUSERS}"
    !define MULTIUSER_INNERTEXT_INSTALLMODE_CURRENTUSER "${CURRENTUSER}"
!macroend
!insertmacro MODE_PAGE_TEXTS "Felhasználók kiválasztása" \
    "Válassza ki, hogy a(z) $(^NameDA) mely felhasználók számára települjön." \
    "Telepítse az Orbiqát a számítógép minden felhasználójának, vagy csak önmagának? $(^ClickNext)" \
    "A számítógép minden felhasználójának (Program Files)" \
    "Csak nekem"
!insertmacro MUI_LANGUAGE "Hungarian"
!insertmacro MODE_PAGE_TEXTS "Choose Users" \
    "Choose for which users you want to install $(^NameDA)." \
    "Install Orbiqa for every user of this computer, or only for yourself? $(^ClickNext)" \
    "For every user of this computer (Program Files)" \
    "Only for me"
!insertmacro MUI_LANGUAGE "English"

LangString AllUsersNotPossible ${LANG_HUNGARIAN} "Nincs rendszergazdai joga ahhoz, hogy a(z) $(^Name) programot a számítógép minden felhasználójának telepítse."
LangString AllUsersNotPossible ${LANG_ENGLISH} "Your user account does not have the rights to install $(^Name) for every user of this computer."
LangString RunningText ${LANG_HUNGARIAN} "Az Orbiqa fut. Zárja be, majd kattintson az Újra gombra."
LangString RunningText ${LANG_ENGLISH} "Orbiqa is running. Close it, then choose Retry."
LangString PathSection ${LANG_HUNGARIAN} "Felvétel a PATH-ba"
LangString PathSection ${LANG_ENGLISH} "Add to PATH"
LangString ProgramDescription ${LANG_HUNGARIAN} "Az Orbiqa program, az orbiqa-cli parancssori eszköz és a .VR3 fájlok társítása."
LangString ProgramDescription ${LANG_ENGLISH} "The Orbiqa program, the orbiqa-cli command-line tool and the .VR3 file type."
LangString PathDescription ${LANG_HUNGARIAN} "A telepítési mappát a PATH környezeti változó végére fűzi, így az orbiqa-cli név szerint indítható a parancssorból. Az eltávolítás csak ezt a bejegyzést veszi ki."
LangString PathDescription ${LANG_ENGLISH} "Appends the install folder to the PATH environment variable, so that orbiqa-cli starts by name at a command prompt. Uninstalling takes out this entry alone."
LangString PathTooLong ${LANG_HUNGARIAN} "A PATH környezeti változó túl hosszú lenne (legfeljebb 32767 karakter lehet), ezért az Orbiqa mappája nem került bele. Az orbiqa-cli teljes elérési úttal indítható: $INSTDIR\orbiqa-cli.exe"
LangString PathTooLong ${LANG_ENGLISH} "The PATH environment variable would grow too long (32767 characters at most), so the Orbiqa folder was not added to it. Start orbiqa-cli by its full path: $INSTDIR\orbiqa-cli.exe"
LangString PathNotChanged ${LANG_HUNGARIAN} "A PATH környezeti változó nem módosítható (hiba: $R9)."
LangString PathNotChanged ${LANG_ENGLISH} "The PATH environment variable could not be changed (error $R9)."

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

; The PATH that a command prompt of this installation's users starts with: the user's own for a
; per-user installation, the machine's for a per-machine one (both under SHCTX's root).
!define USER_ENVIRONMENT_KEY "Environment"
!define MACHINE_ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; Windows takes no environment variable longer than this, its end included.
!define ENVIRONMENT_MAX_CHARS 32767
!define REG_SZ 1
!define REG_EXPAND_SZ 2
; Where the entry this installation put into PATH is kept, for the uninstaller to take out.
!define PATH_ENTRY_VALUE "PathEntry"
; Whether the last installation had the PATH component (1) or not (0); the next one offers the same.
!define PATH_CHOICE_VALUE "AddToPath"

Var PathRoot
Var PathKey

; PATH can be far longer than an NSIS string (1024 characters), so it is read, changed and written
; in memory of its own through the registry functions, never through ReadRegStr, which would cut
; it short. Its type (REG_EXPAND_SZ or REG_SZ) is kept, and every other entry stays as it was,
; letter for letter, separators included.
!macro PATH_FUNCTIONS UN
    ; $PathRoot and $PathKey: the PATH of this installation's mode.
    Function ${UN}PathLocation
        ${If} $MultiUser.InstallMode == "AllUsers"
            StrCpy $PathRoot 0x80000002  ; HKEY_LOCAL_MACHINE
            StrCpy $PathKey "${MACHINE_ENVIRONMENT_KEY}"
        ${Else}
            StrCpy $PathRoot 0x80000001  ; HKEY_CURRENT_USER
            StrCpy $PathKey "${USER_ENVIRONMENT_KEY}"
        ${EndIf}
    FunctionEnd

    ; Opens the key and reads PATH as ";<PATH>;" into a zeroed buffer with $R8 characters to
    ; spare. Out: $R0 the key (0 on failure, with the error in $R9), $R1 the buffer, $R2 the
    ; value's type (REG_EXPAND_SZ when there was none), $R3 its length in characters.
    Function ${UN}PathRead
        Call ${UN}PathLocation
        StrCpy $R1 0
        System::Call 'advapi32::RegCreateKeyExW(p $PathRoot, w "$PathKey", i 0, p 0, i 0, i 0x2001F, p 0, *p .R0, p 0) i .R9'
        ${If} $R9 <> 0
            StrCpy $R0 0
            Return
        ${EndIf}
        System::Call 'advapi32::RegQueryValueExW(p R0, w "Path", p 0, *i .R2, p 0, *i .R4) i .R9'
        ${If} $R9 = 2  ; ERROR_FILE_NOT_FOUND: no PATH of this kind yet
            StrCpy $R9 0
            StrCpy $R2 ${REG_EXPAND_SZ}
            StrCpy $R4 0
        ${ElseIf} $R9 = 0
        ${AndIf} $R2 <> ${REG_EXPAND_SZ}
        ${AndIf} $R2 <> ${REG_SZ}
            StrCpy $R9 13  ; ERROR_INVALID_DATA: a PATH that is no string is left alone
        ${EndIf}
        ${If} $R9 <> 0
            System::Call 'advapi32::RegCloseKey(p R0)'
            StrCpy $R0 0
            Return
        ${EndIf}
        IntOp $R5 $R8 + 4
        IntOp $R5 $R5 * 2
        IntOp $R5 $R5 + $R4
        System::Call 'kernel32::GlobalAlloc(i 0x40, p R5) p .R1'
        System::Call 'kernel32::lstrcpyW(p R1, w ";")'
        ${If} $R4 > 0
            IntPtrOp $R6 $R1 + 2
            System::Call 'advapi32::RegQueryValueExW(p R0, w "Path", p 0, p 0, p R6, *i R4R4) i .R9'
            ${If} $R9 <> 0
                System::Call 'kernel32::GlobalFree(p R1)'
                System::Call 'advapi32::RegCloseKey(p R0)'
                StrCpy $R0 0
                Return
            ${EndIf}
        ${EndIf}
        System::Call 'kernel32::lstrlenW(p R1) i .R3'
        IntOp $R3 $R3 - 1
        System::Call 'kernel32::lstrcatW(p R1, w ";")'
    FunctionEnd

    ; Writes the string at $R6 as PATH of type $R2 (removes PATH when it is empty), frees the
    ; buffer $R1, closes the key $R0 and tells the running programs. Out: $R9 the error, 0 if none.
    Function ${UN}PathWrite
        System::Call 'kernel32::lstrlenW(p R6) i .R7'
        ${If} $R7 = 0
            System::Call 'advapi32::RegDeleteValueW(p R0, w "Path") i .R9'
        ${Else}
            IntOp $R7 $R7 + 1
            IntOp $R7 $R7 * 2
            System::Call 'advapi32::RegSetValueExW(p R0, w "Path", i 0, i R2, p R6, i R7) i .R9'
        ${EndIf}
        System::Call 'kernel32::GlobalFree(p R1)'
        System::Call 'advapi32::RegCloseKey(p R0)'
        ; Explorer and the programs it starts take the new PATH at once.
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    FunctionEnd

    ; Takes the last entry equal to the string on the stack (in any case) out of PATH, with the
    ; separator before it. Out: $R9 the error, 0 if none (also when there was no such entry).
    Function ${UN}PathRemove
        Exch $R8
        Push $R7
        StrCpy $R7 ";$R8;"
        StrLen $R8 $R8
        Call ${UN}PathRead
        ${If} $R0 = 0
            Pop $R7
            Pop $R8
            Return
        ${EndIf}
        ; The last ";entry;" in ";PATH;": this installation's own entry went to the end.
        StrCpy $R5 0
        StrCpy $R6 $R1
        ${Do}
            System::Call 'shlwapi::StrStrIW(p R6, w R7) p .R6'
            ${If} $R6 P= 0
                ${Break}
            ${EndIf}
            StrCpy $R5 $R6
            IntPtrOp $R6 $R6 + 2
        ${Loop}
        ${If} $R5 P= 0
            System::Call 'kernel32::GlobalFree(p R1)'
            System::Call 'advapi32::RegCloseKey(p R0)'
            StrCpy $R9 0
            Pop $R7
            Pop $R8
            Return
        ${EndIf}
        ; ";entry" goes; the ";" after it stays, then the outer two are dropped.
        IntOp $R6 $R8 + 1
        IntOp $R6 $R6 * 2
        IntPtrOp $R6 $R5 + $R6
        System::Call 'kernel32::lstrlenW(p R6) i .R4'
        IntOp $R4 $R4 + 1
        IntOp $R4 $R4 * 2
        System::Call 'kernel32::RtlMoveMemory(p R5, p R6, p R4)'
        System::Call 'kernel32::lstrlenW(p R1) i .R4'
        IntOp $R4 $R4 - 1
        IntOp $R4 $R4 * 2
        IntPtrOp $R4 $R1 + $R4
        System::Call '*$R4(&i2 0)'
        IntPtrOp $R6 $R1 + 2
        Call ${UN}PathWrite
        Pop $R7
        Pop $R8
    FunctionEnd

    ; Removes the entry this installation recorded, and the record.
    Function ${UN}PathRemoveOwn
        ClearErrors
        ReadRegStr $0 SHCTX "Software\Orbiqa" "${PATH_ENTRY_VALUE}"
        ${If} $0 != ""
            Push $0
            Call ${UN}PathRemove
            ${If} $R9 = 0
                DeleteRegValue SHCTX "Software\Orbiqa" "${PATH_ENTRY_VALUE}"
            ${Else}
                DetailPrint "$(PathNotChanged)"
            ${EndIf}
        ${EndIf}
    FunctionEnd
!macroend
!insertmacro PATH_FUNCTIONS ""
!insertmacro PATH_FUNCTIONS "un."

; $R5: the length in characters, expanded and with its final zero, of the PATH that programs
; join to the one this installation changes (the user's for a per-machine installation, the
; machine's for a per-user one); 0 when there is none.
Function PathOtherLength
    ${If} $MultiUser.InstallMode == "AllUsers"
        StrCpy $R5 0x80000001  ; HKEY_CURRENT_USER
        StrCpy $R7 "${USER_ENVIRONMENT_KEY}"
    ${Else}
        StrCpy $R5 0x80000002  ; HKEY_LOCAL_MACHINE
        StrCpy $R7 "${MACHINE_ENVIRONMENT_KEY}"
    ${EndIf}
    ; RRF_RT_ANY; without a buffer the size is that of the expanded string (or more, never less).
    System::Call 'advapi32::RegGetValueW(p R5, w R7, w "Path", i 0xFFFF, p 0, p 0, *i .R5) i .R7'
    ${If} $R7 <> 0
        StrCpy $R5 0
    ${Else}
        IntOp $R5 $R5 / 2
    ${EndIf}
FunctionEnd

; Appends $INSTDIR to PATH unless PATH has it already (with or without a final "\", in any case).
; Out: $R9 "added", "present", "long" (it would pass Windows' limit; nothing written) or an error
; number.
Function PathAdd
    StrLen $R8 "$INSTDIR"
    IntOp $R8 $R8 + 2
    Call PathRead
    ${If} $R0 = 0
        Return
    ${EndIf}
    ; The folder's name goes to the functions in a register: it may hold what their own syntax
    ; uses, such as brackets.
    StrCpy $R7 ";$INSTDIR;"
    System::Call 'shlwapi::StrStrIW(p R1, w R7) p .R5'
    ${If} $R5 P= 0
        StrCpy $R7 ";$INSTDIR\;"
        System::Call 'shlwapi::StrStrIW(p R1, w R7) p .R5'
    ${EndIf}
    StrCpy $R9 "present"
    ${If} $R5 P= 0
        ; Back to ";PATH": the ";" after it is no part of the value.
        IntOp $R4 $R3 + 1
        IntOp $R4 $R4 * 2
        IntPtrOp $R4 $R1 + $R4
        System::Call '*$R4(&i2 0)'
        StrCpy $R6 0  ; the last character of PATH
        ${If} $R3 > 0
            IntOp $R4 $R3 * 2
            IntPtrOp $R4 $R1 + $R4
            System::Call '*$R4(&i2 .R6)'
        ${EndIf}
        ; A PATH that ends in ";" gets the entry and a ";" of its own, so that it still ends in
        ; one and taking the entry out again gives back the same letters.
        ${If} $R3 = 0
            StrCpy $R7 "$INSTDIR"
        ${ElseIf} $R6 = 59  ; ";"
            StrCpy $R7 "$INSTDIR;"
        ${Else}
            StrCpy $R7 ";$INSTDIR"
        ${EndIf}
        System::Call 'kernel32::lstrcatW(p R1, w R7)'
        ; A program's PATH is the machine's and then the user's, expanded, joined by ";" (which
        ; counts as much as the final zero does here).
        IntPtrOp $R6 $R1 + 2
        System::Call 'kernel32::ExpandEnvironmentStringsW(p R6, p 0, i 0) i .R4'
        Call PathOtherLength
        IntOp $R4 $R4 + $R5
        ${If} $R4 > ${ENVIRONMENT_MAX_CHARS}
            StrCpy $R9 "long"
        ${Else}
            Call PathWrite
            ${If} $R9 = 0
                StrCpy $R9 "added"
            ${EndIf}
            Return
        ${EndIf}
    ${EndIf}
    System::Call 'kernel32::GlobalFree(p R1)'
    System::Call 'advapi32::RegCloseKey(p R0)'
FunctionEnd

Section "Orbiqa" SecProgram
    SectionIn RO
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

Section "$(PathSection)" SecPath
SectionEnd

; After the components: PATH gets the folder when "PATH" is chosen, and loses the entry an earlier
; installation put there when it is not (or when that installation was in another folder).
Section "-PathUpdate"
    ReadRegStr $0 SHCTX "Software\Orbiqa" "${PATH_ENTRY_VALUE}"
    ${If} $0 != ""
    ${AndIf} $0 != "$INSTDIR"
        Call PathRemoveOwn
    ${EndIf}
    ${IfNot} ${SectionIsSelected} ${SecPath}
        Call PathRemoveOwn
        WriteRegDWORD SHCTX "Software\Orbiqa" "${PATH_CHOICE_VALUE}" 0
        Return
    ${EndIf}
    WriteRegDWORD SHCTX "Software\Orbiqa" "${PATH_CHOICE_VALUE}" 1
    Call PathAdd
    ${If} $R9 == "added"
        WriteRegStr SHCTX "Software\Orbiqa" "${PATH_ENTRY_VALUE}" "$INSTDIR"
        DetailPrint "PATH: $INSTDIR"
    ${ElseIf} $R9 == "long"
        DetailPrint "$(PathTooLong)"
        MessageBox MB_OK|MB_ICONEXCLAMATION "$(PathTooLong)" /SD IDOK
    ${ElseIf} $R9 != "present"
        DetailPrint "$(PathNotChanged)"
    ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "$(ProgramDescription)"
    !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} "$(PathDescription)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    !insertmacro MULTIUSER_INIT
    ; The PATH component as the installation this one replaces had it; /NoPath and /Path choose
    ; on a silent command line.
    ClearErrors
    ReadRegDWORD $0 SHCTX "Software\Orbiqa" "${PATH_CHOICE_VALUE}"
    ${IfNot} ${Errors}
    ${AndIf} $0 = 0
        !insertmacro UnselectSection ${SecPath}
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/Path" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecPath}
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/NoPath" $1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecPath}
    ${EndIf}
FunctionEnd

Function un.onInit
    !insertmacro MULTIUSER_UNINIT
FunctionEnd

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
    Call un.PathRemoveOwn
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

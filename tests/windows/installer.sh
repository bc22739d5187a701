#!/usr/bin/env bash
# installer.sh WIN_BUILD: the installer (`make windows-package`) under Wine, silently:
#   1. per machine (/AllUsers): the programs, libraries and plugins in Program Files, the marker
#      of an installed copy, the Start-menu shortcut, the uninstaller's registration with its
#      size, version, publisher and quiet command, App Paths for orbiqa-cli.exe and the .VR3
#      file type with its icon and "Open" command;
#   2. the installed program started in its install folder keeps its settings in the user's
#      %LOCALAPPDATA%\Orbiqa and writes nothing into the install folder;
#   3. a .VR3 opened through its association while the program runs is handed to the running
#      program, which shows it in the parameter editor (on a virtual display);
#   4. a silent upgrade over the installed version while the program runs is refused (status 2),
#      and goes through once it has ended;
#   5. the uninstaller removes exactly what was installed, and its registrations, and keeps the
#      files a user put into the install folder;
#   6. per user (/CurrentUser): into %LOCALAPPDATA%\Programs\Orbiqa, registered under HKCU only,
#      removed by the registered quiet uninstall command;
#   7. PATH: the install folder appended once to the machine's PATH (per machine) or the user's
#      (per user), kept once by a reinstall, taken out by /NoPath and by the uninstaller, every
#      other entry, separator and the value's type kept; cmd.exe started afresh finds orbiqa-cli
#      by name; a PATH that would grow past Windows' limit, or that names the folder already,
#      is left as it is, also by the uninstaller.
# When the installer is signed (signing.sh ran first), the installed uninstaller's signature is
# verified too.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BUILD=$(readlink -f "$1")
source "$here/wine-env.sh"

readonly kShowSeconds=30
setup=$(ls "$WIN_BUILD"/orbiqa-*-setup.exe 2>/dev/null | head -n 1)
[ -n "$setup" ] || { echo "installer.sh: no installer in $WIN_BUILD" >&2; exit 1; }
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/Orbiqa"
fail() { echo "installer.sh: $*" >&2; exit 1; }
unset WINEPATH WINEQT_PLUGIN_PATH  # the installed program must find everything it needs itself
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

reg_value() {  # reg_value KEY NAME: the value's data, empty when missing ("" names the default)
    local args=(/v "$2")
    [ -z "$2" ] && args=(/ve)
    wine reg query "$1" "${args[@]}" 2>/dev/null | tr -d '\r' | sed -n 's/^ *[^ ].*REG_[A-Z_]* *//p' | head -n 1
}
expect_value() {  # expect_value KEY NAME EXPECTED
    local got
    got=$(reg_value "$1" "$2")
    [ "$got" = "$3" ] || fail "$1 ${2:-(default)} is '$got', not '$3'"
}
reg_type() {  # reg_type KEY NAME: the value's type (REG_SZ, REG_EXPAND_SZ, ...), empty when missing
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | grep -o 'REG_[A-Z_]*' | head -n 1 || true
}
machine_env='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
user_env='HKCU\Environment'
expect_path() {  # expect_path KEY EXPECTED TYPE: PATH under KEY is EXPECTED, letter for letter
    expect_value "$1" Path "$2"
    [ "$(reg_type "$1" Path)" = "$3" ] || fail "PATH under $1 is $(reg_type "$1" Path), not $3"
}
by_name() {  # the first line of `orbiqa-cli --version` typed at a new cmd.exe, outside the folder
    (cd "$work" && wine cmd /c "orbiqa-cli --version" 2>&1 | tr -d '\r' | head -n 1)
}
# The files of the staged program, as the installer must put them and the uninstaller take them.
stage=$(ls -d "$WIN_BUILD"/stage/orbiqa-* | head -n 1)
staged_files=$(cd "$stage" && find . -type f | sed 's|^\./||' | sort)

# 1. Per machine.
machine_path=$(reg_value "$machine_env" Path)
[ -n "$machine_path" ] || fail "the prefix has no machine PATH"
wine reg add "$user_env" /v Path /t REG_EXPAND_SZ /d 'C:\Tools;%USERPROFILE%\bin' /f >/dev/null 2>&1
wine "$setup" /S /AllUsers
wineserver -w
while read -r f; do
    [ -f "$installed/$f" ] || fail "$f was not installed"
done <<< "$staged_files"
[ -f "$installed/uninstall.exe" ] || fail "no uninstaller"
[ -f "$installed/orbiqa.installed" ] || fail "no marker of an installed copy"
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Orbiqa/Orbiqa.lnk"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orbiqa'
version=$(basename "$setup" | sed 's/^orbiqa-\(.*\)-setup\.exe$/\1/')
expect_value "$uninstall_key" DisplayVersion "$version"
expect_value "$uninstall_key" Publisher Orbiqa
expect_value "$uninstall_key" QuietUninstallString '"C:\Program Files\Orbiqa\uninstall.exe" /S /AllUsers'
size=$(reg_value "$uninstall_key" EstimatedSize)
[ -n "$size" ] && [ $((size)) -gt 10000 ] || fail "EstimatedSize is '$size'"
expect_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\orbiqa-cli.exe' "" 'C:\Program Files\Orbiqa\orbiqa-cli.exe'
expect_value 'HKLM\Software\Classes\.VR3' "" Orbiqa.VR3
expect_value 'HKLM\Software\Classes\Orbiqa.VR3\DefaultIcon' "" '"C:\Program Files\Orbiqa\orbiqa.exe",0'
expect_value 'HKLM\Software\Classes\Orbiqa.VR3\shell\open\command' "" '"C:\Program Files\Orbiqa\orbiqa.exe" "%1"'
expect_path "$machine_env" "$machine_path;C:\Program Files\Orbiqa" REG_EXPAND_SZ
expect_path "$user_env" 'C:\Tools;%USERPROFILE%\bin' REG_EXPAND_SZ
[ "$(by_name)" = "orbiqa-cli $version" ] || fail "cmd.exe did not find orbiqa-cli on the PATH: $(by_name)"
cert=$WIN_BUILD/test-signing/cert.pem
if [ -f "$cert" ] && osslsigncode verify -CAfile "$cert" -in "$setup" >/dev/null 2>&1; then
    osslsigncode verify -CAfile "$cert" -in "$installed/uninstall.exe" >/dev/null ||
        fail "the installed uninstaller's signature does not verify"
fi

# 2.-4. On a virtual display: the installed program from its install folder, a file handed over
# through the association, an upgrade while it runs.
before=$(cd "$installed" && find . | sort)
settings_folder=$(ls -d "$drive"/users/*/AppData/Local | head -n 1)/Orbiqa
rm -rf "$settings_folder"
head -c 1088 /dev/zero | tr '\0' '\377' > "$work/client 1.VR3"
restart_wine_server
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -u
    installed=$1 file=$2 setup=$3 show=$4
    window() {  # window TEXT: waits until a window whose name holds TEXT is shown
        for _ in $(seq $((show * 4))); do
            xwininfo -root -tree 2>/dev/null | grep -F "$1" >/dev/null && return 0
            sleep 0.25
        done
        echo "installer.sh: no window \"$1\" within $show s" >&2
        xwininfo -root -tree >&2
        return 1
    }
    cd "$installed"
    wine ./orbiqa.exe >/dev/null 2>&1 &
    window "\" Orbiqa v" || exit 1
    # Ended as Windows ends a program at log-off: it closes its windows and saves its settings.
    wine taskkill /IM orbiqa.exe >/dev/null 2>&1
    wait
    [ -f "$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local/Orbiqa | head -n 1)/ZenitSetup.ini" ] ||
        { echo "installer.sh: the installed program kept no settings in %LOCALAPPDATA%\\Orbiqa" >&2; exit 1; }

    wine ./orbiqa.exe >/dev/null 2>&1 &
    window "\" Orbiqa v" || exit 1
    main_windows=$(xwininfo -root -tree | grep -c "\" Orbiqa v")
    # A double-click: the association starts a second orbiqa.exe, which hands the file over and
    # ends; the running program shows the file in its editor.
    wine start /unix "$file" >/dev/null 2>&1 || { echo "installer.sh: the association did not start" >&2; exit 1; }
    window "\"Orbiqa  -  Be" || exit 1
    [ "$(xwininfo -root -tree | grep -c "\" Orbiqa v")" = "$main_windows" ] ||
        { echo "installer.sh: the second start opened a program of its own" >&2; exit 1; }

    # An upgrade while the program runs is refused, silently with status 2.
    status=0
    wine "$setup" /S >/dev/null 2>&1 || status=$?
    [ $status -eq 2 ] || { echo "installer.sh: an upgrade over a running program gave status $status" >&2; exit 1; }
    wineserver -k
' _ "$installed" "$work/client 1.VR3" "$setup" "$kShowSeconds" || fail "the installed program (see above)"
after=$(cd "$installed" && find . | sort)
[ "$before" = "$after" ] || fail "the program wrote into its install folder: $(diff <(echo "$before") <(echo "$after") | sed -n 's/^> //p')"
restart_wine_server
wine "$setup" /S
wineserver -w
[ -f "$settings_folder/ZenitSetup.ini" ] || fail "the upgrade lost the settings"
expect_path "$machine_env" "$machine_path;C:\Program Files\Orbiqa" REG_EXPAND_SZ

# 5. Uninstall, with files of the user's own in the install folder.
echo "mine" > "$installed/notes.txt"
echo "mine" > "$installed/platforms/my-plugin.txt"
wine "$installed/uninstall.exe" /S /AllUsers '_?=C:\Program Files\Orbiqa'  # _?= runs it in place, to be waited for
wineserver -w
while read -r f; do
    [ ! -e "$installed/$f" ] || fail "$f was left behind"
done <<< "$staged_files"
[ ! -e "$installed/orbiqa.installed" ] || fail "the marker was left behind"
[ -f "$installed/notes.txt" ] && [ -f "$installed/platforms/my-plugin.txt" ] || fail "the uninstaller removed a user's files"
# Nothing else is left: every folder the installer made (sqldrivers, styles, ...) is gone unless
# a user's file keeps it.
left=$(cd "$installed" && find . -mindepth 1 | sed 's|^\./||' | sort | tr '\n' ' ')
[ "$left" = "notes.txt platforms platforms/my-plugin.txt " ] || fail "the uninstaller left behind: $left"
[ ! -e "$shortcut" ] || fail "the shortcut was left behind"
for key in "$uninstall_key" 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\orbiqa-cli.exe' \
           'HKLM\Software\Classes\Orbiqa.VR3'; do
    ! wine reg query "$key" >/dev/null 2>&1 || fail "$key was left registered"
done
[ -z "$(reg_value 'HKLM\Software\Classes\.VR3' "")" ] || fail ".VR3 still names the program"
[ -f "$settings_folder/ZenitSetup.ini" ] || fail "the uninstaller removed the settings"
expect_path "$machine_env" "$machine_path" REG_EXPAND_SZ
rm -rf "$installed"

# 6. Per user, over a user's PATH that ends in a separator.
user_path='C:\Tools;%USERPROFILE%\bin;'
wine reg add "$user_env" /v Path /t REG_EXPAND_SZ /d "$user_path" /f >/dev/null 2>&1
wine "$setup" /S /CurrentUser
wineserver -w
user_installed=$(ls -d "$drive"/users/*/AppData/Local/Programs/Orbiqa 2>/dev/null | head -n 1)
[ -n "$user_installed" ] && [ -f "$user_installed/orbiqa.exe" ] || fail "no per-user installation in %LOCALAPPDATA%\\Programs"
[ ! -e "$installed" ] || fail "a per-user installation wrote into Program Files"
user_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orbiqa'
quiet=$(reg_value "$user_key" QuietUninstallString)
[ -n "$quiet" ] || fail "the per-user installation is not registered under HKCU"
! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the per-user installation registered under HKLM"
user_dir=$(reg_value "$user_key" InstallLocation)
expect_value 'HKCU\Software\Classes\Orbiqa.VR3\shell\open\command' "" "\"$user_dir\\orbiqa.exe\" \"%1\""

# 7. The user's PATH: the folder once, then a reinstall, /NoPath, an upgrade that keeps that
# choice, /Path; the machine's PATH untouched throughout.
setup_user() {  # setup_user [OPTION...]: a silent per-user (re)installation
    wine "$setup" /S /CurrentUser "$@"
    wineserver -w
}
expect_path "$user_env" "$user_path$user_dir;" REG_EXPAND_SZ
expect_path "$machine_env" "$machine_path" REG_EXPAND_SZ
[ "$(by_name)" = "orbiqa-cli $version" ] || fail "cmd.exe did not find the per-user orbiqa-cli: $(by_name)"
setup_user
expect_path "$user_env" "$user_path$user_dir;" REG_EXPAND_SZ
setup_user /NoPath
expect_path "$user_env" "$user_path" REG_EXPAND_SZ
setup_user
expect_path "$user_env" "$user_path" REG_EXPAND_SZ
setup_user /Path
expect_path "$user_env" "$user_path$user_dir;" REG_EXPAND_SZ
# The registered quiet command, run in place so that it can be waited for.
uninstaller=${quiet%% /S*}
wine "${uninstaller//\"/}" /S /CurrentUser "_?=$(reg_value "$user_key" InstallLocation)"
wineserver -w
[ ! -e "$user_installed/orbiqa.exe" ] || fail "the per-user uninstall left orbiqa.exe"
! wine reg query "$user_key" >/dev/null 2>&1 || fail "the per-user uninstall left its registration"
expect_path "$user_env" "$user_path" REG_EXPAND_SZ
rm -rf "$user_installed"

# A PATH that the folder would take past Windows' limit (machine's and user's together, 32767
# characters) stays as it is, and so does one that names the folder already (in another case,
# with a final "\"): the installer records no entry of its own, and the uninstaller takes none.
machine_length=$(printf '%s' "$machine_path" | wc -c)
long_path="C:\\$(head -c $((32767 - 1 - machine_length - 3 - 10)) /dev/zero | tr '\0' a)"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Environment]\r\n"Path"="%s"\r\n' \
    "${long_path//\\/\\\\}" > "$work/long.reg"
wine reg import "$(wine_path "$work/long.reg")" >/dev/null 2>&1 || fail "could not import the long PATH"
expect_path "$user_env" "$long_path" REG_SZ
setup_user
expect_path "$user_env" "$long_path" REG_SZ
[ -z "$(reg_value 'HKCU\Software\Orbiqa' PathEntry)" ] || fail "an entry was recorded for a PATH left as it was"
own_path="${user_dir^^}\\;C:\\Tools"
wine reg add "$user_env" /v Path /t REG_EXPAND_SZ /d "$own_path" /f >/dev/null 2>&1
setup_user
expect_path "$user_env" "$own_path" REG_EXPAND_SZ
[ -z "$(reg_value 'HKCU\Software\Orbiqa' PathEntry)" ] || fail "the user's own entry was recorded as the installer's"
wine "$user_dir\\uninstall.exe" /S /CurrentUser "_?=$user_dir"
wineserver -w
expect_path "$user_env" "$own_path" REG_EXPAND_SZ
wine reg delete "$user_env" /v Path /f >/dev/null 2>&1
rm -rf "$user_installed"
echo "installer.sh: per machine and per user installed, associated, upgraded, put on the PATH and uninstalled"

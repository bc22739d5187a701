#!/usr/bin/env bash
# installer.sh WIN_BUILD: the installer (`make windows-package`) run silently under Wine installs
# the program into Program Files with everything it needs, the Start-menu shortcut and the
# user's working folder, registers its uninstaller, and the uninstaller removes what it installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BUILD=$(readlink -f "$1")
source "$here/wine-env.sh"

setup=$(ls "$WIN_BUILD"/orbiqa-*-setup.exe 2>/dev/null | head -n 1)
[ -n "$setup" ] || { echo "installer.sh: no installer in $WIN_BUILD" >&2; exit 1; }
drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/Orbiqa"
fail() { echo "installer.sh: $*" >&2; exit 1; }

wine "$setup" /S
wineserver -w
for f in orbiqa.exe orbiqa-cli.exe Qt6Widgets.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll translations/qtbase_hu.qm \
         libstdc++-6.dll uninstall.exe; do
    [ -f "$installed/$f" ] || fail "$f was not installed"
done
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Orbiqa/Orbiqa.lnk"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
# The program keeps its settings in its working folder: the user's own, never Program Files.
strings -a -el "$shortcut" | grep -x '%LOCALAPPDATA%\\Orbiqa' >/dev/null || fail "the shortcut does not start in %LOCALAPPDATA%\\Orbiqa"
ls -d "$drive"/users/*/AppData/Local/Orbiqa >/dev/null || fail "no working folder in the user's LOCALAPPDATA"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orbiqa' /v UninstallString >/dev/null 2>&1 ||
    fail "the uninstaller is not registered"
wine reg query 'HKLM\Software\Microsoft\Active Setup\Installed Components\Orbiqa' /v StubPath 2>/dev/null |
    grep -q 'mkdir "%LOCALAPPDATA%\\Orbiqa"' || fail "other users' working folder is not set up"

# _?= runs the uninstaller in place, so that it can be waited for.
wine "$installed/uninstall.exe" /S '_?=C:\Program Files\Orbiqa'
wineserver -w
[ ! -e "$installed/orbiqa.exe" ] || fail "orbiqa.exe was left behind"
[ ! -e "$installed/platforms" ] || fail "the plugins were left behind"
[ ! -e "$shortcut" ] || fail "the shortcut was left behind"
! wine reg query 'HKLM\Software\Microsoft\Active Setup\Installed Components\Orbiqa' >/dev/null 2>&1 ||
    fail "the per-user set-up was left registered"
rm -f "$installed/uninstall.exe"
rmdir "$installed" 2>/dev/null || true
echo "installer.sh: installed, complete, and uninstalled"

#!/usr/bin/env bash
# program-starts.sh WIN_BUILD: the packaged orbiqa.exe (as `make windows-package` stages it) under
# Wine on a virtual display, in an empty working folder, must show its main window
# (" Orbiqa v<version>") within the time limit; it is then ended. Nothing but the packaged folder
# is on its path, so a library or plugin missing from the package fails it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BUILD=$(readlink -f "$1")
source "$here/wine-env.sh"

readonly kShowSeconds=30
program=$(ls "$WIN_BUILD"/stage/orbiqa-*/orbiqa.exe 2>/dev/null | head -n 1)
[ -n "$program" ] || { echo "program-starts.sh: no packaged program in $WIN_BUILD/stage" >&2; exit 1; }
unset WINEPATH WINEQT_PLUGIN_PATH
restart_wine_server
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Inside the virtual display: start the program, look for its window among the display's windows.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    (wine "$1" >/dev/null 2>&1 &)
    for _ in $(seq $(($2 * 4))); do
        if xwininfo -root -tree 2>/dev/null | grep "\" Orbiqa v" >/dev/null; then
            echo "program-starts.sh: the main window is shown"
            wineserver -k
            exit 0
        fi
        sleep 0.25
    done
    echo "program-starts.sh: no main window within $2 s" >&2
    xwininfo -root -tree >&2
    wineserver -k
    exit 1
' _ "$program" "$kShowSeconds"

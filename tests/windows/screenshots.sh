#!/usr/bin/env bash
# screenshots.sh WIN_BUILD OUT_DIR: draws the Windows program's windows under Wine, on a virtual
# display with the native style, and keeps the main, status, transfer, editor and chooser windows
# as OUT_DIR/windows-*.png, with the file dialog in Qt's Hungarian texts shipped beside the program.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BUILD=$(readlink -f "$1")
out=$(readlink -f "$2")
source "$here/wine-env.sh"
ensure_wine_prefix
restart_wine_server

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Wine's server goes before the display does, so that nothing is left talking to a closed one.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c 'wine "$1" "$2" >/dev/null; status=$?; wineserver -k; exit $status' \
    _ "$WIN_BUILD/bin/orbiqa-screenshots.exe" "$(wine_path "$work")"
mkdir -p "$out"
for pair in main-window:main-window status-window:status-window transfer-window:transfer-window \
            settings-1-telefonszamok:editor port-chooser:port-chooser file-dialog:file-dialog; do
    from=${pair%%:*} to=${pair#*:}
    cp "$work/$from.png" "$out/windows-$to.png"
    echo "$out/windows-$to.png"
done

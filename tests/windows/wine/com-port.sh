#!/usr/bin/env bash
# com-port.sh PREFIX N PTY: makes "\\.\COM<N>" in the Wine prefix open the pseudo-terminal PTY,
# and prints the VAR=value lines that every `wine` opening the port needs in its environment.
# Exits 77 when this checkout has no way to serve the serial path under Wine.
#
# Wine maps the port through a link in the prefix's dosdevices folder, but on a pseudo-terminal
# its arrival waits fail at once unless the modem-line shim of this folder is preloaded: the shim
# is built with the host compiler and map-com-port.sh does the mapping.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1 number=$2 pty=$3
if [ ! -x "$here/map-com-port.sh" ] || [ ! -f "$here/CMakeLists.txt" ]; then
    ln -sfn "$(readlink -f "$pty")" "$prefix/dosdevices/com$number"
    echo "com-port.sh: no helper for Wine's arrival waits on a pseudo-terminal here" >&2
    exit 77
fi
helpers=$(dirname "$prefix")/wine-helpers
if [ ! -f "$helpers/libptymodemshim.so" ]; then
    cmake -S "$here" -B "$helpers" >/dev/null
    cmake --build "$helpers" >/dev/null
fi
"$here/map-com-port.sh" "$prefix" "$number" "$pty" "$helpers/libptymodemshim.so"

#!/bin/sh
# Runs the Windows serial device (SerialDeviceWin32WineProbe.exe) under Wine on a COM port that
# is a Linux pseudo-terminal with pty-peer on its master, and reports each case.
#
# Usage: run-serial-probe.sh [--probe EXE] [--com N] WORK_DIR
#   WORK_DIR     scratch directory: helpers are built in WORK_DIR/helpers, the Wine prefix is
#                WORK_DIR/prefix (made when missing, reused after)
#   --probe EXE  a probe built by the Windows build; without it one is cross-compiled into
#                WORK_DIR with $MINGW_CXX (default x86_64-w64-mingw32-g++-posix)
#   --com N      the COM port number to map (default 5)
# Exits 0 when every case passed, 1 when one failed, 77 (skipped) when wine or the cross
# compiler is missing.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
probe=''
com=5
while [ $# -gt 1 ]; do
    case $1 in
    --probe) probe=$2; shift 2 ;;
    --com) com=$2; shift 2 ;;
    *) break ;;
    esac
done
[ $# -eq 1 ] || { echo "usage: $0 [--probe EXE] [--com N] WORK_DIR" >&2; exit 2; }
mkdir -p "$1"
work=$(cd "$1" && pwd)
# Generous: the cases take about 15 s; a wait that never ends is caught by the probe itself.
limit_s=180
ready_wait_steps=50  # tenths of a second for the peer to set up its line

command -v wine >/dev/null || { echo "wine not found; skipping"; exit 77; }
if ! { cmake -S "$here" -B "$work/helpers" && cmake --build "$work/helpers"; } >"$work/helpers.log" 2>&1; then
    cat "$work/helpers.log"
    exit 1
fi

if [ -z "$probe" ]; then
    cxx=${MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
    command -v "$cxx" >/dev/null || { echo "$cxx not found; skipping"; exit 77; }
    probe=$work/SerialDeviceWin32WineProbe.exe
    "$cxx" -std=c++20 -O2 -Wall -Wextra -Wpedantic -Wshadow -Werror -I"$root/src" -I"$here" \
        "$here/SerialDeviceWin32WineProbe.cpp" "$root/src/serial/SerialDeviceWin32.cpp" \
        "$root/src/serial/PortName.cpp" "$root/src/base/IntText.cpp" \
        -static -o "$probe"
fi

"$here/new-prefix.sh" "$work/prefix"

ready=$work/peer-ready
rm -f "$ready"
"$work/helpers/pty-peer" "$ready" &
peer=$!
trap 'kill "$peer" 2>/dev/null || true' EXIT
steps=0
while [ ! -s "$ready" ]; do
    steps=$((steps + 1))
    [ $steps -le $ready_wait_steps ] || { echo "pty-peer did not start" >&2; exit 1; }
    sleep 0.1
done

preload=$("$here/map-com-port.sh" "$work/prefix" "$com" "$(cat "$ready")" \
    "$work/helpers/libptymodemshim.so")
status=0
env "$preload" WINEPREFIX="$work/prefix" WINEDEBUG=-all \
    timeout "$limit_s" wine "$probe" "COM$com" || status=$?
# The last case makes the peer hang up and end; a peer still running means the run broke off.
peer_status=0
if kill -0 "$peer" 2>/dev/null; then
    echo "pty-peer still running after the probe" >&2
    peer_status=1
else
    wait "$peer" || peer_status=$?
fi
[ $status -eq 0 ] && [ $peer_status -eq 0 ]

#!/bin/sh
# Maps a Linux pseudo-terminal into a Wine prefix as a COM port, so that a Windows program under
# Wine opens it as "\\.\COMn" and finds it listed where Windows lists the ports present.
#
# Usage: map-com-port.sh PREFIX N PTY SHIM
#   PREFIX  the Wine prefix (made by new-prefix.sh)
#   N       the COM port number, 1 to 256
#   PTY     the pseudo-terminal slave, e.g. /dev/pts/7 (a symbolic link to one is resolved)
#   SHIM    the built libptymodemshim.so (see README.md)
# Prints one line, LD_PRELOAD=<absolute SHIM>, to put into the environment of every `wine` run in
# the prefix:  env "$(map-com-port.sh "$WINEPREFIX" 5 /dev/pts/7 "$shim")" wine prog.exe COM5
# Without it Wine's arrival waits on a pseudo-terminal fail at once. Exclusive opening is kept by
# Wine's server, so the server must have been started with the shim too: this script starts it
# so when none is running; set the line for every `wine` in the prefix (it leaves all but
# pseudo-terminals alone), and stop a server started without it (`wineserver -k`).
#
# What it does: records the port as Wine's own port setting (HKLM\Software\Wine\Ports, COMn =
# PTY), which Wine applies each time its server starts, and links $PREFIX/dosdevices/comN to PTY
# for the running server; it lists the port under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM as
# "\Device\Serial<N-1>" = "COMn", as Wine does for the ports it finds. A bare link is not enough:
# at each start Wine relinks com1, com2, ... to the machine's /dev/ttyS*, /dev/ttyUSB* and
# /dev/ttyACM* devices, taking over a linked number. Takes a second or two (one Wine start).
# Exits non-zero with a message on bad arguments or a failed registry write.
set -eu
[ $# -eq 4 ] || { echo "usage: $0 PREFIX N PTY SHIM" >&2; exit 2; }
prefix=$1 number=$2 pty=$3 shim=$4
case $number in '' | *[!0-9]*) echo "$0: port number must be 1 to 256: $number" >&2; exit 2 ;; esac
if [ "$number" -lt 1 ] || [ "$number" -gt 256 ]; then
    echo "$0: port number must be 1 to 256: $number" >&2; exit 2
fi
[ -d "$prefix/dosdevices" ] || { echo "$0: not a Wine prefix: $prefix" >&2; exit 2; }
prefix=$(cd "$prefix" && pwd)  # Wine takes only an absolute prefix
pty=$(readlink -f "$pty")
[ -c "$pty" ] || { echo "$0: not a character device: $pty" >&2; exit 2; }
[ -f "$shim" ] || { echo "$0: shim not found: $shim" >&2; exit 2; }
shim=$(readlink -f "$shim")

reg=$prefix/map-com$number.reg
cat >"$reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]
"COM$number"="$pty"

[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]
"\\\\Device\\\\Serial$((number - 1))"="COM$number"
REG
LD_PRELOAD=$shim WINEPREFIX=$prefix WINEDEBUG=-all wine reg import "$reg" >/dev/null 2>&1 ||
    { echo "$0: cannot record COM$number in the prefix" >&2; exit 1; }
rm -f "$reg"
# After the server's start, which may have relinked the name; Wine looks it up in lower case.
ln -sfn "$pty" "$prefix/dosdevices/com$number"
echo "LD_PRELOAD=$shim"

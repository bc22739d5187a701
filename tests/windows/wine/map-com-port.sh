#!/bin/sh
# Maps a Linux pseudo-terminal into a Wine prefix as a COM port, so that a Windows program under
# Wine opens it as "\\.\COMn".
#
# Usage: map-com-port.sh [--register] PREFIX N PTY SHIM
#   PREFIX      the Wine prefix (made by new-prefix.sh)
#   N           the COM port number, 1 to 256
#   PTY         the pseudo-terminal slave, e.g. /dev/pts/7 (a symbolic link to one is resolved)
#   SHIM        the built libptymodemshim.so (see README.md)
#   --register  also list the port under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM as
#               "\Device\OrbiqaPtyN" = "COMn", where Windows lists the ports present (this
#               starts Wine, a second or two)
# Prints one line, LD_PRELOAD=<absolute SHIM>, to put into the environment of every `wine` that
# opens the port:  env "$(map-com-port.sh "$WINEPREFIX" 5 /dev/pts/7 "$shim")" wine prog.exe COM5
# Without it Wine's arrival waits on a pseudo-terminal fail at once. Exits non-zero with a message
# on bad arguments.
set -eu
register=no
if [ "${1-}" = "--register" ]; then register=yes; shift; fi
[ $# -eq 4 ] || { echo "usage: $0 [--register] PREFIX N PTY SHIM" >&2; exit 2; }
prefix=$1 number=$2 pty=$3 shim=$4
case $number in '' | *[!0-9]*) echo "$0: port number must be 1 to 256: $number" >&2; exit 2 ;; esac
if [ "$number" -lt 1 ] || [ "$number" -gt 256 ]; then
    echo "$0: port number must be 1 to 256: $number" >&2; exit 2
fi
[ -d "$prefix/dosdevices" ] || { echo "$0: not a Wine prefix: $prefix" >&2; exit 2; }
pty=$(readlink -f "$pty")
[ -c "$pty" ] || { echo "$0: not a character device: $pty" >&2; exit 2; }
[ -f "$shim" ] || { echo "$0: shim not found: $shim" >&2; exit 2; }
shim=$(readlink -f "$shim")
# Wine looks the name up in lower case.
ln -sfn "$pty" "$prefix/dosdevices/com$number"
if [ $register = yes ]; then
    WINEPREFIX=$prefix WINEDEBUG=-all wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' \
        /v "\\Device\\OrbiqaPty$number" /t REG_SZ /d "COM$number" /f >/dev/null 2>&1 ||
        { echo "$0: cannot register COM$number in the prefix" >&2; exit 1; }
fi
echo "LD_PRELOAD=$shim"

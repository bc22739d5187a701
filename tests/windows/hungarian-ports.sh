#!/usr/bin/env bash
# hungarian-ports.sh WIN_BUILD: `orbiqa-cli.exe ports` under Wine lists the ports that a
# Hungarian Windows names in its registry, letter for letter: a built-in port
# "Kommunikációs port (COM1)" by "(Szabványos porttípusok)", present, and an adapter that a PC
# full of adapters numbered COM105, absent. The keys are imported into the prefix's registry from
# a UTF-16 registry file, as Windows stores such names, and removed again.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BUILD=$(readlink -f "$1")
source "$here/wine-env.sh"
fail() { echo "hungarian-ports.sh: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

enum='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\OrbiqaHungarian'
to_reg() { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; }
to_reg > "$work/add.reg" <<EOF_REG
Windows Registry Editor Version 5.00

[$enum\\PNP0501\\1]
"Class"="Ports"
"FriendlyName"="Kommunikációs port (COM1)"
"Mfg"="(Szabványos porttípusok)"

[$enum\\FTDIBUS\\0000]
"Class"="Ports"
"FriendlyName"="USB soros átalakító (COM105)"
"Mfg"="Gyártó: FTDI"

[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]
"\\\\Device\\\\OrbiqaSerial0"="COM1"
EOF_REG
to_reg > "$work/remove.reg" <<EOF_REG
Windows Registry Editor Version 5.00

[-$enum]

[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]
"\\\\Device\\\\OrbiqaSerial0"=-
EOF_REG

wine regedit /s "$(wine_path "$work/add.reg")"
wineserver -w
status=0
wine "$WIN_BUILD/bin/orbiqa-cli.exe" ports > "$work/out" 2> "$work/err" || status=$?
wine regedit /s "$(wine_path "$work/remove.reg")"
wineserver -w
[ $status -eq 0 ] || { cat "$work/err"; fail "orbiqa-cli.exe ports ended with status $status"; }
tr -d '\r' < "$work/out" > "$work/lines"
grep -Fx "+ Kommunikációs port (COM1)	(Szabványos porttípusok)" "$work/lines" >/dev/null ||
    { cat "$work/lines"; fail "the Hungarian port name is not listed exactly"; }
grep -Fx -- "- USB soros átalakító (COM105)	Gyártó: FTDI" "$work/lines" >/dev/null ||
    { cat "$work/lines"; fail "COM105 is not listed exactly"; }
echo "hungarian-ports.sh: the ports are listed with their Hungarian names"

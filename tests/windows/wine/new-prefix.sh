#!/bin/sh
# Creates a private Wine prefix for tests, quietly, and waits until Wine has finished with it.
# Usage: new-prefix.sh PREFIX_DIR
# Prints nothing on success. An existing prefix is reused as it is (its first start is the slow
# part, several seconds; later ones take about a second). Needs the 64-bit Wine (`wine`).
set -eu
[ $# -eq 1 ] || { echo "usage: $0 PREFIX_DIR" >&2; exit 2; }
prefix=$1
case $prefix in /*) ;; *) prefix=$(pwd)/$prefix ;; esac
command -v wine >/dev/null || { echo "$0: wine not found" >&2; exit 1; }
mkdir -p "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
# No desktop integration or Mono/Gecko prompts in a test prefix.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
if [ ! -f "$prefix/system.reg" ]; then
    wine wineboot -i >/dev/null 2>&1
fi
# The registry reaches disk only when the server stops; later `wine reg` calls and the mapping
# of ports rely on a finished prefix.
wineserver -w

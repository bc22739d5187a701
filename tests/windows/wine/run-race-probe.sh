#!/bin/sh
# Runs WineWaitRaceProbe.exe (see its header) under Wine against pty-peer, with the machine kept
# busy by ten busy loops as a loaded machine is, and prints its figure. A measurement, not a test:
# `make wine-race-probe`. Usage: run-race-probe.sh WORK_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 1 ] || { echo "usage: $0 WORK_DIR" >&2; exit 2; }
mkdir -p "$1"
work=$(cd "$1" && pwd)
readonly kBusyLoops=10
cxx=${MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
command -v "$cxx" >/dev/null || { echo "$cxx not found (scripts/install-deps.sh windows)" >&2; exit 77; }
"$cxx" -std=c++20 -O2 -Wall -Wextra -Wpedantic -Wshadow -Werror "$here/WineWaitRaceProbe.cpp" -static \
    -o "$work/WineWaitRaceProbe.exe"
busy=""
for _ in $(seq $kBusyLoops); do
    sh -c 'while :; do :; done' &
    busy="$busy $!"
done
trap 'kill $busy 2>/dev/null || true' EXIT
"$here/run-serial-probe.sh" --probe "$work/WineWaitRaceProbe.exe" "$work"

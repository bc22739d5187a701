#!/usr/bin/env bash
# window-e2e.sh WIN_BUILD LINUX_BUILD: the window program's end-to-end test (connect, status,
# version, the traffic log, unplug) of the Windows build, through a real COM port under Wine,
# against the Linux orbiqa-modsim on a pseudo-terminal mapped into the prefix as COM7. The serial
# helper (wine/com-port.sh) serves only what Wine itself falls short of: arrival waits on a
# pseudo-terminal. Exits 77 when the port cannot be served under Wine here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BUILD=$(readlink -f "$1")
LINUX_BUILD=$(readlink -f "$2")
source "$here/wine-env.sh"

readonly kComNumber=7
readonly kSimPort=COM77
readonly kSimStartSeconds=10
readonly kTestSeconds=240
readonly kTest=ModsimFixture.ConnectWatchQueryAndUnplug
tests=$WIN_BUILD/bin/orbiqa_shell_ui_tests.exe
for program in "$LINUX_BUILD/bin/orbiqa-modsim" "$tests"; do
    [ -x "$program" ] || { echo "window-e2e.sh: $program is not built" >&2; exit 1; }
done

work=$(mktemp -d)
sim_pid="" unplug_pid=""
cleanup() {
    for pid in $unplug_pid $sim_pid; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    rm -f "$WINEPREFIX/dosdevices/com$kComNumber"
    rm -rf "$work"
}
trap cleanup EXIT

# The module the test expects (tests/shell/ModsimEndToEndTest.cpp starts the same on Linux).
"$LINUX_BUILD/bin/orbiqa-modsim" --port "$kSimPort" --link-dir "$work/links" --fast --status-flags 0x11 \
    --signal 23 --line-state 2 --text-interval 100 --version-text "E2E-SIM;V9.9;x;2030" --data-version 12 \
    >"$work/sim.out" &
sim_pid=$!
for _ in $(seq $((kSimStartSeconds * 10))); do
    grep -q -- '->' "$work/sim.out" 2>/dev/null && break
    sleep 0.1
done
pty=$(sed -n 's/^orbiqa-modsim: [A-Z0-9]* -> //p' "$work/sim.out")
[ -n "$pty" ] || { echo "window-e2e.sh: orbiqa-modsim did not start" >&2; exit 1; }

set +e
port_env=$("$here/wine/com-port.sh" "$WINEPREFIX" "$kComNumber" "$pty")
rc=$?
set -e
[ $rc -eq 0 ] || exit $rc
mapfile -t port_env <<<"$port_env"
restart_wine_server

# The test's unplug: it creates this file, and the simulator is ended with its terminal.
( while [ ! -e "$work/unplug" ]; do sleep 0.1; done; kill "$sim_pid" ) &
unplug_pid=$!

set +e
timeout "$kTestSeconds" xvfb-run -a -s "-screen 0 1280x1024x24" \
    env "${port_env[@]}" ORBIQA_E2E_PORT="COM$kComNumber" ORBIQA_E2E_UNPLUG="$(wine_path "$work")\\unplug" \
    wine "$tests" --gtest_filter="$kTest" >"$work/test.out" 2>&1
rc=$?
set -e
wineserver -k 2>/dev/null || true
cat "$work/test.out"
# It must have run, not been skipped.
if [ $rc -ne 0 ] || ! grep -q "\[       OK \] $kTest" "$work/test.out"; then
    echo "window-e2e.sh: $kTest did not pass through COM$kComNumber (status $rc)" >&2
    exit 1
fi
echo "window-e2e.sh: the Windows window connected, queried and lost COM$kComNumber against orbiqa-modsim"

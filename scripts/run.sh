#!/usr/bin/env bash
# Starts the simulated module and the program against it: orbiqa-modsim publishes a COM port,
# the program's working folder gets a "ZenitSetup.ini" naming that port, so pressing
# "Soros kapcsolat létrehozása" connects at once. The simulator stops when the program ends.
#
#   scripts/run.sh [BUILD_DIR]        (make run)
#
# Without a display (no $DISPLAY or $WAYLAND_DISPLAY) it explains how to run under a virtual one;
# ORBIQA_RUN_XVFB=1 runs it under xvfb-run directly (nothing is visible then, but the program
# and the simulator run as they would).
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
bin="$build/bin"
workdir="$build/run"
start_timeout_s=10

for exe in orbiqa orbiqa-modsim; do
    if [ ! -x "$bin/$exe" ]; then
        echo "run.sh: $bin/$exe is missing; build first (make build)" >&2
        exit 1
    fi
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    if [ "${ORBIQA_RUN_XVFB:-}" = 1 ] && [ -z "${ORBIQA_UNDER_XVFB:-}" ] && command -v xvfb-run >/dev/null; then
        echo "run.sh: no display; running under xvfb-run (the windows are not visible). Ctrl+C ends it."
        ORBIQA_UNDER_XVFB=1 exec xvfb-run -a "$0" "$build"
    fi
    if [ -z "${ORBIQA_UNDER_XVFB:-}" ]; then
        cat >&2 <<'MSG'
run.sh: no display found ($DISPLAY and $WAYLAND_DISPLAY are empty), so the windows cannot be shown.
  - On a desktop session, run `make run` there; over SSH, connect with `ssh -X` (X11 forwarding).
  - To run without seeing anything, under a virtual display (xvfb-run is installed by
    scripts/install-deps.sh):   ORBIQA_RUN_XVFB=1 make run
  - To look at the windows without a display: `make screenshots` renders them to docs/img/.
MSG
        exit 2
    fi
fi

mkdir -p "$workdir"
sim_out="$workdir/modsim.out"
: > "$sim_out"
"$bin/orbiqa-modsim" > "$sim_out" &
sim_pid=$!

stop_sim() {
    if kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}
trap stop_sim EXIT
trap 'exit 130' INT TERM

# The simulator prints "orbiqa-modsim: COM<n> -> /dev/pts/<k>" once it is ready.
port=""
for _ in $(seq $((start_timeout_s * 10))); do
    port=$(sed -n 's/^orbiqa-modsim: \(COM[0-9]*\) -> .*/\1/p' "$sim_out" | head -n 1)
    [ -n "$port" ] && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        echo "run.sh: orbiqa-modsim ended before it was ready" >&2
        exit 1
    fi
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "run.sh: orbiqa-modsim did not report its port within ${start_timeout_s} s" >&2
    exit 1
fi
echo "run.sh: simulated module on $port ($(sed -n 's/^orbiqa-modsim: COM[0-9]* -> //p' "$sim_out" | head -n 1)); working folder $workdir"

# The table file the program reads at start: size, column widths, cell (0,0) = the port.
printf '2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,%s\r\n' "$port" > "$workdir/ZenitSetup.ini"

cd "$workdir"
status=0
"$bin/orbiqa" || status=$?
exit "$status"

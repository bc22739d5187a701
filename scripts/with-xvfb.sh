#!/usr/bin/env bash
# Runs a command on a private virtual display: scripts/with-xvfb.sh COMMAND [ARG...].
# The X server picks a free display number itself (-displayfd), so that several runs at once
# (parallel tests, a Wine run beside the suite) never race for the same one, as `xvfb-run -a`
# can. -noreset: a client that comes and goes first (the AT-SPI registry) must not reset the
# server under the next one. The display ends with the command, whose exit status this returns.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARG...]" >&2; exit 2; }
command -v Xvfb > /dev/null || { echo "Xvfb is not installed (package xvfb)" >&2; exit 77; }
work=$(mktemp -d)
xvfb=
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2> /dev/null && wait "$xvfb" 2> /dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$work/display" 2> "$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb" 2> /dev/null || break
    sleep 0.05
done
if ! [ -s "$work/display" ]; then
    cat "$work/xvfb.log" >&2
    echo "with-xvfb: the virtual display did not start" >&2
    exit 1
fi
export DISPLAY=":$(head -n 1 "$work/display")"
unset WAYLAND_DISPLAY
status=0
"$@" || status=$?
if [ "$status" -ne 0 ] && ! kill -0 "$xvfb" 2> /dev/null; then
    echo "with-xvfb: the virtual display $DISPLAY ended before the command did:" >&2
    cat "$work/xvfb.log" >&2
fi
exit "$status"

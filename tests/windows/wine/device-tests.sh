#!/usr/bin/env bash
# device-tests.sh WIN_BUILD PREFIX: the serial device's tests against a peer on a pseudo-terminal
# mapped into a Wine prefix as a COM port (run-serial-probe.sh of this folder). Exits 0 when they
# pass, 77 when they cannot run here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
win_build=$1
if [ ! -x "$here/run-serial-probe.sh" ]; then
    echo "device-tests.sh: no pseudo-terminal peer for Wine here" >&2
    exit 77
fi
# Its own prefix and helpers: the probe's server must start with the shim preloaded.
exec "$here/run-serial-probe.sh" "$win_build/wine-serial"

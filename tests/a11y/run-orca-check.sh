#!/usr/bin/env bash
# Runs orca_check.py on a virtual display with a private session bus, on which the AT-SPI bus
# is started on demand (at-spi-bus-launcher). Exits 77 (skipped) where the tools are missing:
# scripts/install-deps.sh a11y installs them.
set -euo pipefail
bin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb dbus-run-session orca speech-dispatcher xdotool /usr/bin/python3; do
    command -v "$tool" > /dev/null || { echo "$tool not available; skipping"; exit 77; }
done
[ -x /usr/lib/speech-dispatcher-modules/sd_espeak-ng ] \
    || { echo "speech-dispatcher-espeak-ng not available; skipping"; exit 77; }
[ -x /usr/libexec/at-spi-bus-launcher ] || { echo "at-spi2-core not available; skipping"; exit 77; }
export NO_AT_BRIDGE=0 GTK_A11Y=atspi
exec "$here/../../scripts/with-xvfb.sh" \
    dbus-run-session -- /usr/bin/python3 "$here/orca_check.py" "$bin_dir"

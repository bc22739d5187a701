#!/usr/bin/env bash
# Runs an Orca check (orca_check.py unless another is named) on a virtual display with a private session bus, on which the AT-SPI bus
# is started on demand (at-spi-bus-launcher). Exits 77 (skipped) where the tools are missing:
# scripts/install-deps.sh a11y installs them.
set -euo pipefail
bin_dir=$1
check=${2:-orca_check.py}
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb dbus-run-session orca speech-dispatcher xdotool /usr/bin/python3; do
    command -v "$tool" > /dev/null || { echo "$tool not available; skipping"; exit 77; }
done
[ -x /usr/lib/speech-dispatcher-modules/sd_espeak-ng ] \
    || { echo "speech-dispatcher-espeak-ng not available; skipping"; exit 77; }
[ -x /usr/libexec/at-spi-bus-launcher ] || { echo "at-spi2-core not available; skipping"; exit 77; }
export NO_AT_BRIDGE=0 GTK_A11Y=atspi
# Orca allows one instance per user: it refuses to start beside another, and with --replace it
# kills the others. Two checks at once (two build folders, a sanitizer run beside a plain one)
# would end each other's reader, so a check waits for the one before it to finish.
exec flock -w 240 "${TMPDIR:-/tmp}/orbiqa-orca-check.lock" "$here/../../scripts/with-xvfb.sh" \
    dbus-run-session -- /usr/bin/python3 "$here/$check" "$bin_dir"

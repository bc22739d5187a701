#!/usr/bin/env bash
# Runs atspi_check.py on a virtual display with a private session bus, on which the AT-SPI bus
# is started on demand (at-spi-bus-launcher). Exits 77 (skipped) where the tools are missing:
# scripts/install-deps.sh a11y installs them.
set -euo pipefail
bin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3  # the system's, which has the AT-SPI bindings
for tool in Xvfb dbus-run-session "$python"; do
    command -v "$tool" > /dev/null || { echo "$tool not available; skipping"; exit 77; }
done
"$python" -c 'import gi; gi.require_version("Atspi", "2.0")' 2> /dev/null \
    || { echo "AT-SPI bindings (gir1.2-atspi-2.0) not available; skipping"; exit 77; }
[ -x /usr/libexec/at-spi-bus-launcher ] || { echo "at-spi2-core not available; skipping"; exit 77; }
export NO_AT_BRIDGE=0 GTK_A11Y=atspi
exec "$here/../../scripts/with-xvfb.sh" \
    dbus-run-session -- "$python" "$here/atspi_check.py" "$bin_dir"

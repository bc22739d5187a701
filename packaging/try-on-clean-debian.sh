#!/usr/bin/env bash
# Installs the built package into a fresh, minimal Debian 12 tree (debootstrap) and runs it there:
# the command line against the simulator, and the window program offscreen for a few seconds.
# Needs root, network access to the Debian mirror and about 1 GB of disk; not part of make test.
#
#   packaging/try-on-clean-debian.sh build/orbiqa_1.05_amd64.deb [ROOT_DIR]
set -euo pipefail
deb=$(realpath "$1")
root=${2:-/tmp/orbiqa-clean-debian}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

[ -d "$root/usr" ] || debootstrap --variant=minbase bookworm "$root" "$mirror"
cp "$deb" "$root/tmp/orbiqa.deb"
cp /etc/resolv.conf "$root/etc/resolv.conf"
for m in proc dev dev/pts; do mount --bind "/$m" "$root/$m"; done
trap 'for m in dev/pts dev proc; do umount "$root/$m" 2>/dev/null || true; done' EXIT

chroot "$root" /bin/bash -euc '
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/orbiqa.deb > /dev/null
    work=$(mktemp -d) && cd "$work" && export XDG_CONFIG_HOME=$work HOME=$work
    orbiqa-modsim --port COM5 --fast > sim.out & sim=$!
    trap "kill $sim" EXIT
    for _ in $(seq 50); do grep -q COM5 sim.out && break; sleep 0.1; done
    orbiqa-cli version --port COM5
    orbiqa-cli read a.VR3 --port COM5
    orbiqa-cli compare a.VR3 --port COM5
    set +e
    QT_QPA_PLATFORM=offscreen timeout 3 orbiqa
    [ $? -eq 124 ] && echo "orbiqa: started and kept running" || { echo "orbiqa: did not keep running"; exit 1; }
'

#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, and only those that are missing.
# scripts/install-deps.sh [windows]: without a group, what the Linux build, tests and package need.
set -euo pipefail
group=${1:-base}
packages=(
    build-essential cmake pkg-config
    qt6-base-dev libgl-dev
    libssl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libudev-dev
    clang libclang-rt-14-dev llvm
    xvfb xauth
    dpkg-dev fakeroot
    g++-mingw-w64-x86-64-posix
)
# windows: the cross build (MinGW-w64 with POSIX threads, Qt's host tools, GoogleTest's source),
# its tests under Wine on a virtual display, and the installer and zip.
windows_packages=(
    cmake make xz-utils
    g++-mingw-w64-x86-64-posix qt6-base-dev-tools googletest
    wine wine64 fonts-wine xvfb xauth x11-utils
    nsis zip
)
case $group in
    base) ;;
    windows) packages=("${windows_packages[@]}") ;;
    *) echo "install-deps.sh: unknown group '$group'" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

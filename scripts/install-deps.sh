#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, and only those that are missing.
set -euo pipefail
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
# Serial tests of the Windows build under Wine (tests/windows/wine): the 64-bit Wine and its
# `wine`/`wineserver` commands. The shim and the pty peer build with the compiler above.
packages+=(wine wine64)
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

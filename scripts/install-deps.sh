#!/usr/bin/env bash
# Installs the Debian 12 packages that a target needs, and only those that are missing.
#   scripts/install-deps.sh [GROUP...]     (no group: base)
# Groups:
#   base     build the programs and run the suite (make run, make test, make test-asan); the
#            suite starts its own PostgreSQL 15 server for the site register's tests
#   a11y     the screen-reader tests on a virtual display (AT-SPI bus, Python bindings, Orca)
#   package  the Debian package, its manual pages and its checks (lintian, desktop-file-validate)
#   fuzz     clang and LLVM with libFuzzer (make fuzz, make fuzz-ci)
#   checks   what the suite's own checks run: the MinGW-w64 compiler that checks the Windows
#            sources, the bash-completion framework that the completion test drives
#   windows  the Windows cross build, and what its tests under Wine start on the Linux side (the
#            PostgreSQL server that the Windows program reaches through ODBC and unixODBC)
set -euo pipefail

group_packages() {
    case "$1" in
        base)
            echo build-essential cmake pkg-config ccache \
                qt6-base-dev libgl-dev qt6-translations-l10n \
                libssl-dev libudev-dev \
                libgtest-dev libgmock-dev libbenchmark-dev \
                poppler-utils \
                xvfb xauth \
                ser2net python3-serial iproute2 \
                libqt6sql6-sqlite libqt6sql6-psql postgresql-15 libqt6sql6-odbc odbc-postgresql ;;
        a11y)
            echo at-spi2-core dbus-daemon python3-gi gir1.2-atspi-2.0 xvfb xauth \
                orca speech-dispatcher speech-dispatcher-espeak-ng xdotool ;;
        package)
            echo dpkg-dev fakeroot help2man lintian desktop-file-utils ;;
        fuzz)
            echo clang libclang-rt-14-dev llvm ;;
        checks)
            echo g++-mingw-w64-x86-64-posix bash-completion ;;
        windows)
            echo cmake make xz-utils \
                g++-mingw-w64-x86-64-posix qt6-base-dev-tools googletest \
                wine wine64 fonts-wine fonts-liberation2 xvfb xauth x11-utils nsis zip qt6-translations-l10n \
                osslsigncode openssl \
                unixodbc odbc-postgresql postgresql-15 ;;
        *)
            echo "unknown group: $1 (base, a11y, package, fuzz, checks, windows)" >&2
            return 1 ;;
    esac
}

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(base)
packages=()
for g in "${groups[@]}"; do
    list=$(group_packages "$g") || exit 2
    read -r -a more <<< "$list"
    packages+=("${more[@]}")
done

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

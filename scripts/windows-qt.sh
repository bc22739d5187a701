#!/usr/bin/env bash
# windows-qt.sh DIR: makes sure DIR/qt6-mingw holds Qt for MinGW-w64 (Debian has none). Unpacks
# the prepared copy from ../shared/deps beside the checkout when there is one; otherwise builds
# it from Debian's own Qt source with scripts/build-qt6-mingw.sh (about an hour on 2 cores).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dest=$1
prefix=$dest/qt6-mingw
archive=${ORBIQA_QT_MINGW_ARCHIVE:-$root/../shared/deps/qt6-mingw-6.4.2.tar.xz}

if [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    exit 0
fi
mkdir -p "$dest"
if [ ! -f "$archive" ]; then
    echo "No prepared Qt for MinGW at $archive: building it (about an hour)"
    archive=$dest/qt6-mingw-6.4.2.tar.xz
    "$root/scripts/build-qt6-mingw.sh" "$archive"
fi
echo "Unpacking $archive"
rm -rf "$prefix"
tar -xJf "$archive" -C "$dest"
test -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" || { echo "no Qt for MinGW in $prefix" >&2; exit 1; }

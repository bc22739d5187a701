#!/usr/bin/env bash
# windows-qt.sh DIR: makes sure DIR/qt6-mingw holds Qt for MinGW-w64 (Debian has none). Unpacks
# the prepared copy from ../shared/deps beside the checkout when there is one; otherwise builds
# it from Debian's own Qt source with scripts/build-qt6-mingw.sh (about an hour on 2 cores).
#
# The prepared archive keeps its file name when its contents change (modules were added to it),
# so the prefix is stamped with the SHA-256 of the archive it came from (DIR/qt6-mingw.sha256);
# a prefix whose stamp differs from the archive, or that has none, is replaced by a fresh unpack.
# The unpacked files get the time of the unpack, so that everything built against the earlier Qt
# is rebuilt and CMake reads the new Qt's packages again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dest=$1
prefix=$dest/qt6-mingw
stamp=$prefix.sha256
archive=${ORBIQA_QT_MINGW_ARCHIVE:-$root/../shared/deps/qt6-mingw-6.4.2.tar.xz}
built_archive=$dest/qt6-mingw-6.4.2.tar.xz

mkdir -p "$dest"
if [ ! -f "$archive" ]; then
    archive=$built_archive
    if [ ! -f "$archive" ]; then
        echo "No prepared Qt for MinGW: building it into $archive (about an hour)"
        "$root/scripts/build-qt6-mingw.sh" "$archive"
    fi
fi
sum=$(sha256sum "$archive" | cut -d' ' -f1)
if [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$sum" ]; then
    exit 0
fi

if [ -d "$prefix" ]; then
    echo "Qt for MinGW in $prefix is not the one in $archive: unpacking it afresh"
else
    echo "Unpacking $archive"
fi
# Unpacked beside the prefix and moved into place whole, so that an interrupted or failed unpack
# never leaves a prefix that looks complete; the stamp is written last.
rm -f "$stamp"
unpack=$(mktemp -d "$dest/.qt6-mingw-unpack.XXXXXX")
trap 'rm -rf "$unpack"' EXIT
tar -xJf "$archive" --touch -C "$unpack" ||
    { echo "windows-qt.sh: $archive could not be unpacked" >&2; exit 1; }
test -f "$unpack/qt6-mingw/lib/cmake/Qt6/Qt6Config.cmake" ||
    { echo "windows-qt.sh: $archive holds no Qt for MinGW (qt6-mingw/lib/cmake/Qt6/Qt6Config.cmake)" >&2; exit 1; }
rm -rf "$prefix"
mv "$unpack/qt6-mingw" "$prefix"
echo "$sum" > "$stamp"

#!/usr/bin/env bash
# package.sh WIN_BUILD: the installer WIN_BUILD/orbiqa-<version>-setup.exe and the portable
# WIN_BUILD/orbiqa-<version>-win64.zip, both from one staged install of the Windows build.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(readlink -f "$1")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "package.sh: $build is not a configured build" >&2; exit 1; }
stage=$build/stage/orbiqa-$version

rm -rf "$build/stage"
cmake --install "$build" --prefix "$stage" --strip >/dev/null
# The libraries come with their symbols, which a user's machine does not need.
find "$stage" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
# Nothing beside the programs may be missing on a clean Windows.
for f in orbiqa.exe orbiqa-cli.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll \
         styles/qwindowsvistastyle.dll translations/qtbase_hu.qm libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    [ -f "$stage/$f" ] || { echo "package.sh: $f missing from the staged program" >&2; exit 1; }
done

# grep reads to the end: with pipefail, one that stops at its first match could fail the pipe.
# Each program carries its manifest (no elevation, DPI awareness) and version.
for program in orbiqa.exe orbiqa-cli.exe; do
    strings "$stage/$program" | grep 'requestedExecutionLevel level="asInvoker"' >/dev/null ||
        { echo "package.sh: $program has no manifest" >&2; exit 1; }
    strings -el "$stage/$program" | grep -x "$version" >/dev/null ||
        { echo "package.sh: $program has no version resource" >&2; exit 1; }
done

zip_file=$build/orbiqa-$version-win64.zip
rm -f "$zip_file"
(cd "$build/stage" && zip -qr -9 "$zip_file" "orbiqa-$version")

setup=$build/orbiqa-$version-setup.exe
(cd "$here" && makensis -V2 -DVERSION="$version" -DVERSION_COMMAS="${version//./,},0,0" -DSTAGE="$stage" \
    -DOUTFILE="$setup" orbiqa.nsi)
ls -l "$setup" "$zip_file" | awk '{ print $5, $NF }'

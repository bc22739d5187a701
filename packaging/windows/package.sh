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
for f in orbiqa.exe orbiqa-cli.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6Sql.dll platforms/qwindows.dll \
         styles/qwindowsvistastyle.dll sqldrivers/qsqlite.dll sqldrivers/qsqlodbc.dll translations/qtbase_hu.qm \
         libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    [ -f "$stage/$f" ] || { echo "package.sh: $f missing from the staged program" >&2; exit 1; }
done
# Every library a staged program or plugin imports is Windows' own or staged beside the programs
# (a Qt module newly linked, such as Qt Sql, must come with it).
while read -r binary; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r'); do
        case $dll in Qt6*|lib*) [ -f "$stage/$dll" ] ||
            { echo "package.sh: ${binary#"$stage"/} needs $dll, which is not staged" >&2; exit 1; } ;;
        esac
    done
done < <(find "$stage" -name '*.exe' -o -name '*.dll')

# grep reads to the end: with pipefail, one that stops at its first match could fail the pipe.
# Each program carries its manifest (no elevation, DPI awareness) and version.
for program in orbiqa.exe orbiqa-cli.exe; do
    strings "$stage/$program" | grep 'requestedExecutionLevel level="asInvoker"' >/dev/null ||
        { echo "package.sh: $program has no manifest" >&2; exit 1; }
    strings -el "$stage/$program" | grep -x "$version" >/dev/null ||
        { echo "package.sh: $program has no version resource" >&2; exit 1; }
done

# Signing: both programs (the build makes no libraries of its own; Qt's and the compiler's come
# as their makers ship them), the uninstaller as makensis makes it, and the installer.
sign_define=()
if [ -n "${SIGN_PFX:-}" ]; then
    "$here/sign.sh" "$stage/orbiqa.exe" "$stage/orbiqa-cli.exe"
    sign_define=(-DSIGN_COMMAND="$here/sign.sh")
    echo "package.sh: signing with $SIGN_PFX${SIGN_TIMESTAMP_URL:+, time stamp from $SIGN_TIMESTAMP_URL}"
else
    echo "package.sh: SIGN_PFX is not set: the programs and the installer are NOT signed"
fi

# The installer installs, and its uninstaller removes, exactly the staged files: two lists made
# here, never a wildcard that would take a user's own files from the folder.
lists=$build/nsis
rm -rf "$lists" && mkdir -p "$lists"
win() { printf '%s' "${1//\//\\}"; }
(
    cd "$stage"
    find . -type d | sed 's|^\./||; s|^\.$||' | sort | while read -r dir; do
        echo "SetOutPath \"\$INSTDIR${dir:+\\$(win "$dir")}\""
        find "./$dir" -maxdepth 1 -type f | sort | while read -r file; do
            echo "File \"$stage/${file#./}\""
        done
    done
) > "$lists/install.nsh"
(
    cd "$stage"
    find . -type f | sed 's|^\./||' | sort | while read -r file; do
        echo "Delete \"\$INSTDIR\\$(win "$file")\""
    done
    # Deepest folders first; RMDir takes a folder only when it is empty.
    find . -mindepth 1 -type d | sed 's|^\./||' | sort -r | while read -r dir; do
        echo "RMDir \"\$INSTDIR\\$(win "$dir")\""
    done
) > "$lists/uninstall.nsh"
size_kb=$(du -sk --apparent-size "$stage" | cut -f1)

zip_file=$build/orbiqa-$version-win64.zip
rm -f "$zip_file"
(cd "$build/stage" && zip -qr -9 "$zip_file" "orbiqa-$version")

setup=$build/orbiqa-$version-setup.exe
# -WX: NSIS fills a text missing from a language file with the English one and only warns; such a
# page would come out in English in the Hungarian installer, so every warning stops the build.
(cd "$here" && makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DVERSION_COMMAS="${version//./,},0,0" \
    -DSTAGE="$stage" -DOUTFILE="$setup" -DINSTALL_LIST="$lists/install.nsh" -DUNINSTALL_LIST="$lists/uninstall.nsh" \
    -DESTIMATED_SIZE_KB="$size_kb" -DMARKER="$(readlink -f "$here/../orbiqa.installed")" "${sign_define[@]}" orbiqa.nsi)
[ -z "${SIGN_PFX:-}" ] || "$here/sign.sh" "$setup"
ls -l "$setup" "$zip_file" | awk '{ print $5, $NF }'

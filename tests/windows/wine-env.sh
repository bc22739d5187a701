# Sourced by the Windows test scripts: the environment in which the cross-built programs run under
# Wine, in a private prefix inside the Windows build folder. Expects WIN_BUILD (absolute).
export WINEPREFIX=${ORBIQA_WINEPREFIX:-$WIN_BUILD/wine-prefix}
export WINEDEBUG=-all WINEARCH=win64
# No desktop integration, and no Mono or Gecko installers asking questions.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

# A Linux path as Wine's drive Z: sees it.
wine_path() { local p; p=$(readlink -f "$1"); printf 'Z:%s' "${p//\//\\}"; }

qt_prefix=$WIN_BUILD/qt6-mingw
runtime_dirs=""
for dll in libstdc++-6.dll libwinpthread-1.dll; do
    runtime_dirs="$runtime_dirs;$(wine_path "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)")")"
done
# The Qt and MinGW libraries are found on the path rather than copied beside every test.
# Wine hands PATH and the QT_ variables to Windows programs only as WINEPATH and WINEQT_...;
# the Linux side's own QT_ variables never reach them.
export WINEPATH="$(wine_path "$qt_prefix/bin")$runtime_dirs"
export WINEQT_PLUGIN_PATH="$(wine_path "$qt_prefix/plugins")"
# Widget programs under Wine exit cleanly only with the native platform plugin, on a display.
export WINEQT_QPA_PLATFORM=windows

# Creates the prefix on first use (several seconds) and waits until Wine has written it out.
# Its windows are not left to a window manager: the virtual display has none, and Wine would
# wait two seconds for one each time a window is hidden.
ensure_wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wine wineboot -i >/dev/null 2>&1
    fi
    if [ ! -f "$WINEPREFIX/.orbiqa-unmanaged" ]; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        touch "$WINEPREFIX/.orbiqa-unmanaged"
    fi
    # The windows ask for "MS Sans Serif", then "Microsoft Sans Serif". Qt passes over the first,
    # a bitmap font, on Windows and under Wine alike, and Windows has the second; Wine has neither
    # as a scalable face, so Qt fell back to whatever the machine had first (a serif). Wine's
    # font replacement gives "Microsoft Sans Serif" the faces of Liberation Sans (fonts-liberation2,
    # the `windows` group), a sans of the same widths as Arial, whatever else the machine holds.
    if [ ! -f "$WINEPREFIX/.orbiqa-window-font" ]; then
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft Sans Serif' /t REG_SZ \
            /d 'Liberation Sans' /f >/dev/null 2>&1
        touch "$WINEPREFIX/.orbiqa-window-font"
    fi
    wineserver -w
}

# Wine's server and its desktop process outlive the programs, bound to the display they first
# saw; a run on a new virtual display starts from a stopped server.
restart_wine_server() {
    wineserver -k 2>/dev/null || true
    wineserver -w
}

#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks the layout: the three programs, the desktop
# entry and the icons where desktops look for them, and that the installed command line runs.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > /dev/null
(cd "$prefix" && find . -type f | sort)

for program in orbiqa orbiqa-modsim orbiqa-cli; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program missing or not executable"
done
desktop=$prefix/share/applications/orbiqa.desktop
[ -f "$desktop" ] || fail "share/applications/orbiqa.desktop missing"
for line in '[Desktop Entry]' 'Type=Application' 'Name=Orbiqa' 'Exec=orbiqa %f' 'Icon=orbiqa' \
            'Terminal=false' 'Categories=Utility;Electronics;'; do
    grep -qxF "$line" "$desktop" || fail "desktop entry lacks '$line'"
done
for icon in scalable/apps/orbiqa.svg 48x48/apps/orbiqa.png 256x256/apps/orbiqa.png; do
    [ -s "$prefix/share/icons/hicolor/$icon" ] || fail "icon $icon missing"
done
head -c 8 "$prefix/share/icons/hicolor/256x256/apps/orbiqa.png" | od -An -tx1 | grep -q '89 50 4e 47' \
    || fail "256x256 icon is not a PNG"
[ -f "$prefix/share/doc/orbiqa/cli.md" ] || fail "docs/cli.md not installed"
[ -f "$prefix/share/mime/packages/orbiqa.xml" ] || fail "the .VR3 file type is not installed"
# The marker by which an installed program keeps its settings in the user's folder.
[ -f "$prefix/share/orbiqa/orbiqa.installed" ] || fail "no marker of an installed copy"
completion=$prefix/share/bash-completion/completions/orbiqa-cli
[ -f "$completion" ] || fail "bash completion not installed"
bash -n "$completion" || fail "bash completion does not parse"
# Nothing from the test suite or the developer tools.
if find "$prefix" -name '*_tests' -o -name 'orbiqa-bench' -o -name 'orbiqa-screenshots' | grep -q .; then
    fail "test or developer programs installed"
fi
"$prefix/bin/orbiqa-cli" --help | grep -q '^Usage: orbiqa-cli COMMAND' || fail "installed orbiqa-cli does not run"
echo "install layout OK"

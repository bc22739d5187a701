#!/usr/bin/env bash
# Builds the Debian package into a scratch folder and checks it as a Debian packager would:
# lintian --pedantic reports no tag (the package's overrides name each accepted one with its
# reason), and desktop-file-validate accepts the desktop entry, as packaged and as in the
# source. Exits 77 (skipped) where the tools are missing: scripts/install-deps.sh package.
set -euo pipefail
build=$1
source=$2
for tool in lintian desktop-file-validate dpkg-deb cpack; do
    command -v "$tool" > /dev/null || { echo "$tool not available; skipping"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$source/packaging/orbiqa.desktop" || fail "desktop entry in the source"

cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(find "$work/out" -maxdepth 1 -name 'orbiqa_*.deb' | head -n 1)
[ -n "$deb" ] || fail "no package made"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/orbiqa.desktop" || fail "packaged desktop entry"
# Parameter files open by double-click: the entry takes a file, and the package names its type.
grep -qx 'MimeType=application/x-orbiqa-parameters;' "$work/root/usr/share/applications/orbiqa.desktop" ||
    fail "the desktop entry names no parameter file type"
grep -q '<glob pattern="\*.vr3"/>' "$work/root/usr/share/mime/packages/orbiqa.xml" || fail "no MIME type for .VR3"
[ -f "$work/root/usr/share/orbiqa/orbiqa.installed" ] || fail "no marker of an installed copy"

# Every tag counts, down to pedantic ones; the package carries no overrides. One tag is left out:
# lintian's spelling check of binaries reads the Hungarian texts cut at every accented letter
# ("mentése" becomes "ment") and runs of machine code as English words, so what it reports there
# depends on the compiler's output, not on a misspelling.
lintian --pedantic --display-info --fail-on error,warning,info,pedantic \
    --suppress-tags spelling-error-in-binary "$deb" \
    || fail "lintian reports tags"
echo "lintian and desktop-file-validate: clean"

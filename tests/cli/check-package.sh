#!/usr/bin/env bash
# Builds the Debian package into a scratch folder (cpack, a few seconds) and checks it: its
# declared dependencies, its contents, and that the unpacked programs find every library and run.
# Skipped (77) where dpkg-deb is missing.
set -euo pipefail
build=$1
command -v dpkg-deb > /dev/null || { echo "dpkg-deb not available"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(find "$work/out" -maxdepth 1 -name 'orbiqa_*.deb' | head -n 1)
[ -n "$deb" ] || fail "no package made"
echo "package: $(basename "$deb")"

info=$(dpkg-deb -I "$deb")
echo "$info" | grep -E '^ (Package|Version|Architecture|Depends):'
echo "$info" | grep -q '^ Package: orbiqa$' || fail "package name"
# A package built with the development key says so in its version.
if grep -q '^ORBIQA_MODULE_KEY_IS_DEVELOPMENT:INTERNAL=ON' "$build/CMakeCache.txt"; then
    echo "$info" | grep -q '^ Version: .*+devkey$' || fail "development key not in the version"
else
    echo "$info" | grep -q '^ Version: .*+devkey' && fail "devkey version without the development key"
fi
depends=$(echo "$info" | sed -n 's/^ Depends: //p')
names=$(echo "$depends" | tr ',' '\n' | awk '{print $1}')
for lib in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins libssl3 libudev1 libc6 libstdc++6; do
    echo "$names" | grep -qxF "$lib" || fail "Depends lacks $lib: $depends"
done

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in ./usr/bin/orbiqa ./usr/bin/orbiqa-modsim ./usr/bin/orbiqa-cli \
            ./usr/share/bash-completion/completions/orbiqa-cli \
            ./usr/share/applications/orbiqa.desktop \
            ./usr/share/icons/hicolor/scalable/apps/orbiqa.svg \
            ./usr/share/icons/hicolor/256x256/apps/orbiqa.png; do
    if ! echo "$contents" | grep -qxF "$path"; then
        # What cpack did and what it packed, so that a missing file can be traced.
        cat "$work/cpack.log" >&2
        echo "$contents" | grep '/usr/bin/' >&2 || true
        fail "package lacks $path"
    fi
done

root=$work/root
dpkg-deb -x "$deb" "$root"
for program in orbiqa orbiqa-modsim orbiqa-cli; do
    if ldd "$root/usr/bin/$program" | grep -q 'not found'; then
        ldd "$root/usr/bin/$program"
        fail "$program misses a library"
    fi
done
"$root/usr/bin/orbiqa-cli" --help > /dev/null || fail "unpacked orbiqa-cli does not run"
"$root/usr/bin/orbiqa-modsim" --help > /dev/null || fail "unpacked orbiqa-modsim does not run"
echo "package OK"

#!/usr/bin/env bash
# windows-qt-test.sh SOURCE_DIR: scripts/windows-qt.sh against small stand-in archives of Qt for
# MinGW: a prefix is unpacked once and then kept; an archive that changed under the same name, or
# a prefix unpacked before prefixes were stamped, is unpacked afresh with nothing of the old one
# left and with files newer than anything built before; a broken archive is a clear error that
# leaves no stamp, so the next run tries again.
set -euo pipefail
script=$1/scripts/windows-qt.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "windows-qt-test.sh: $*" >&2; exit 1; }

make_archive() {  # make_archive NAME FILE...: a Qt stand-in holding bin/FILE for each FILE
    rm -rf "$work/src" && mkdir -p "$work/src/qt6-mingw/lib/cmake/Qt6" "$work/src/qt6-mingw/bin"
    echo "# $1" > "$work/src/qt6-mingw/lib/cmake/Qt6/Qt6Config.cmake"
    local f
    shift
    for f in "$@"; do echo "$f" > "$work/src/qt6-mingw/bin/$f"; done
    # The files of a prepared archive are older than anything a build folder made from it.
    find "$work/src" -exec touch -d '2 days ago' {} +
    tar -cJf "$ORBIQA_QT_MINGW_ARCHIVE" -C "$work/src" qt6-mingw
}
run() { "$script" "$work/build" > "$work/out" 2>&1; }
prefix=$work/build/qt6-mingw
export ORBIQA_QT_MINGW_ARCHIVE=$work/qt6-mingw-6.4.2.tar.xz

echo "--- first use: unpacked and stamped"
make_archive first Qt6Core.dll
run || fail "first unpack failed: $(cat "$work/out")"
[ -f "$prefix/bin/Qt6Core.dll" ] || fail "nothing unpacked"
[ "$(cat "$prefix.sha256")" = "$(sha256sum "$ORBIQA_QT_MINGW_ARCHIVE" | cut -d' ' -f1)" ] || fail "no stamp of the archive"

echo "--- the same archive again: the prefix is kept as it is"
touch "$prefix/kept"
run || fail "second run failed: $(cat "$work/out")"
[ -f "$prefix/kept" ] && [ ! -s "$work/out" ] || fail "an unchanged archive was unpacked again"

echo "--- the archive changed under the same name: unpacked afresh, newer than earlier objects"
touch -d '1 hour ago' "$work/object-built-earlier"
make_archive second Qt6Core.dll Qt6Sql.dll
run || fail "unpacking the changed archive failed: $(cat "$work/out")"
[ -f "$prefix/bin/Qt6Sql.dll" ] || fail "the changed archive was not unpacked"
[ ! -e "$prefix/kept" ] || fail "files of the earlier prefix were left in it"
grep -q second "$prefix/lib/cmake/Qt6/Qt6Config.cmake" || fail "the earlier Qt's package files were kept"
[ "$prefix/lib/cmake/Qt6/Qt6Config.cmake" -nt "$work/object-built-earlier" ] ||
    fail "the new Qt's files are older than what was built against the earlier one"
ls -A "$work/build" | grep -q unpack && fail "the unpack folder was left behind"

echo "--- a prefix unpacked before stamps existed: unpacked afresh"
rm "$prefix.sha256"
touch "$prefix/kept"
run || fail "$(cat "$work/out")"
[ ! -e "$prefix/kept" ] && [ -f "$prefix.sha256" ] || fail "an unstamped prefix was taken as current"

echo "--- a broken archive, then one without Qt: clear errors, no stamp, the next run tries again"
echo "not an archive" > "$ORBIQA_QT_MINGW_ARCHIVE"
run && fail "a broken archive was accepted"
grep -q "could not be unpacked" "$work/out" || fail "no clear message for a broken archive: $(cat "$work/out")"
[ ! -e "$prefix.sha256" ] || fail "a stamp was left for a prefix that is not the archive's"
rm -rf "$work/src" && mkdir -p "$work/src/qt6-mingw" && tar -cJf "$ORBIQA_QT_MINGW_ARCHIVE" -C "$work/src" qt6-mingw
run && fail "an archive without Qt was accepted"
grep -q "holds no Qt" "$work/out" || fail "no clear message for an archive without Qt: $(cat "$work/out")"
make_archive third Qt6Core.dll
run || fail "$(cat "$work/out")"
grep -q third "$prefix/lib/cmake/Qt6/Qt6Config.cmake" || fail "a good archive after a broken one was not unpacked"
echo "windows-qt-test.sh: all steps passed"

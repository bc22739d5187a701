#!/bin/sh
# Checks that sources compile for Windows with the MinGW-w64 cross compiler.
# Usage: mingw-syntax-check.sh <compiler> <include-dir>... -- <source>...
# Exits 77 (the test is skipped) when no cross compiler was found, so machines without one pass.
compiler=$1
shift
if [ -z "$compiler" ] || [ ! -x "$compiler" ]; then
    echo "MinGW-w64 cross compiler not found; skipping"
    exit 77
fi
includes=""
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    includes="$includes -I$1"
    shift
done
[ "$1" = "--" ] && shift
[ $# -gt 0 ] || { echo "no sources given"; exit 2; }
status=0
for source in "$@"; do
    # -Werror: a warning on the Windows side would otherwise go unseen, since nobody builds there
    # day to day. $includes is split on purpose.
    # shellcheck disable=SC2086
    if "$compiler" -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Wshadow -Werror $includes "$source"; then
        echo "ok   $source"
    else
        echo "FAIL $source"
        status=1
    fi
done
exit $status

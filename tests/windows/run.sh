#!/usr/bin/env bash
# run.sh WIN_BUILD LINUX_BUILD: the Windows programs' tests under Wine, on a virtual display.
#   1. every test program of the Windows build (ctest, one test per program);
#   2. the serial device against a pseudo-terminal peer mapped as a COM port (wine/device-tests.sh);
#   3. orbiqa-cli.exe reading, writing and comparing against the Linux orbiqa-modsim (cli-e2e.sh);
#   3b. orbiqa-cli.exe through network ports, ser2net on the Linux side (network-e2e.sh);
#   3c. the site register: its store through ODBC against a PostgreSQL server started on the Linux
#      side, and the shipped orbiqa-cli.exe with its SQLite file and with that server (sites-e2e.sh);
#   4. the packaged orbiqa.exe showing its main window (program-starts.sh), and the window
#      program's end-to-end test through a COM port against orbiqa-modsim (window-e2e.sh);
#   5. the package signed with a throw-away certificate (signing.sh);
#   6. the installer per machine and per user, with the association and the uninstall (installer.sh);
#   7. orbiqa-cli.exe listing ports with Hungarian names from the prefix's registry (hungarian-ports.sh).
# Prints a summary; exits non-zero when any part fails. A part whose helper reports 77 is skipped.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BUILD=$(readlink -f "$1")
LINUX_BUILD=$(readlink -f "$2")
source "$here/wine-env.sh"

start=$(date +%s)
ensure_wine_prefix
restart_wine_server

results=()
failed=0
part() {  # part NAME COMMAND...: runs one part, records its outcome
    local name=$1; shift
    echo "=== $name"
    "$@"
    local rc=$?
    case $rc in
        0) results+=("passed   $name") ;;
        77) results+=("skipped  $name") ;;
        *) results+=("FAILED   $name (status $rc)"); failed=1 ;;
    esac
}

# Each program reports its cases in a file, so that the summary can count them.
results_dir=$WIN_BUILD/test-results
rm -rf "$results_dir" && mkdir -p "$results_dir"
export GTEST_OUTPUT="xml:$(wine_path "$results_dir")\\"
part "test programs" xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir "$WIN_BUILD" --output-on-failure -j 2 --timeout 300
unset GTEST_OUTPUT
cases=$(sed -n 's/^<testsuites tests="\([0-9]*\)".*/\1/p' "$results_dir"/*.xml 2>/dev/null | awk '{ n += $1 } END { print n + 0 }')
programs=$(ls "$results_dir"/*.xml 2>/dev/null | wc -l)
# The cases that skipped themselves, by name (the window's end-to-end case runs in its own part).
skipped=$(grep -ho '<testcase name="[^"]*"[^>]*result="skipped"[^>]*classname="[^"]*"' "$results_dir"/*.xml 2>/dev/null |
    sed -E 's/<testcase name="([^"]*)".*classname="([^"]*)"/\2.\1/' | sort)
skipped_count=$(printf '%s' "$skipped" | grep -c . || true)
part "serial device against a pseudo-terminal" "$here/wine/device-tests.sh" "$WIN_BUILD" "$WINEPREFIX"
part "orbiqa-cli.exe against orbiqa-modsim" "$here/cli-e2e.sh" "$WIN_BUILD" "$LINUX_BUILD"
part "orbiqa-cli.exe through ser2net's network ports" "$here/network-e2e.sh" "$WIN_BUILD" "$LINUX_BUILD"
part "the site register: SQLite, and PostgreSQL through ODBC" "$here/sites-e2e.sh" "$WIN_BUILD"
part "orbiqa.exe shows its main window" "$here/program-starts.sh" "$WIN_BUILD"
part "the window against orbiqa-modsim through a COM port" "$here/window-e2e.sh" "$WIN_BUILD" "$LINUX_BUILD"
part "the package is signed" "$here/signing.sh" "$WIN_BUILD"
part "the installer installs and uninstalls" "$here/installer.sh" "$WIN_BUILD"
part "port names with Hungarian letters" "$here/hungarian-ports.sh" "$WIN_BUILD"

wineserver -k 2>/dev/null || true
echo "=== summary ($(( $(date +%s) - start )) s; ${cases:-0} test cases in $programs programs under Wine, $skipped_count skipped)"
[ -n "$skipped" ] && printf 'skipped  %s\n' $skipped
printf '%s\n' "${results[@]}"
exit $failed

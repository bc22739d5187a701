#!/usr/bin/env bash
# sites-e2e.sh WIN_BUILD: the site register of the Windows build under Wine, against the real
# engines: a PostgreSQL 15 server that this script starts on the Linux side (postgres-server.sh),
# reached through Qt's ODBC driver, Wine's odbc32, the host's unixODBC and Debian's "PostgreSQL
# Unicode" driver. orbiqa_windows_sites_tests.exe runs `db init` as the database's owner, adds a
# site and records history as a technician, reads it back as the office, sees the technician's
# forbidden UPDATE, DELETE and TRUNCATE refused by the database, uses TLS as the setting says and
# finds a closed port unreachable; every case must run, none may skip. The Windows program's
# time zone differs from the server's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BUILD=$(readlink -f "$1")
source "$here/wine-env.sh"
source "$here/postgres-server.sh"

readonly kProgramTimeZone=Europe/Budapest
tests=$WIN_BUILD/bin/orbiqa_windows_sites_tests.exe
[ -f "$tests" ] || { echo "sites-e2e.sh: $tests is missing" >&2; exit 1; }

work=$(mktemp -d)
cleanup() { stop_postgres; rm -rf "$work"; }
trap cleanup EXIT
ensure_wine_prefix
start_postgres "$work"
echo "--- PostgreSQL 15 on 127.0.0.1:$PG_PORT (time zone $kServerTimeZone), ODBC driver list in $ODBCSYSINI"

expect_all_passed() {  # expect_all_passed XML COUNT: COUNT cases ran, none failed or skipped
    local xml=$1 count=$2
    [ -f "$xml" ] || { echo "sites-e2e.sh: no results in $xml" >&2; return 1; }
    grep -q "<testsuites tests=\"$count\" failures=\"0\" disabled=\"0\" errors=\"0\"" "$xml" &&
        ! grep -q 'result="skipped"' "$xml" ||
        { echo "sites-e2e.sh: expected $count cases to pass, none skipped:" >&2; grep '<testsuites\|skipped\|<failure' "$xml" >&2; return 1; }
}

echo "--- the register's store through ODBC: orbiqa_windows_sites_tests.exe"
TZ=$kProgramTimeZone ORBIQA_TEST_POSTGRES="postgresql://orbiqa_owner@127.0.0.1:$PG_PORT/orbiqa_sites" \
    ORBIQA_TEST_POSTGRES_CLOSED_PORT=$PG_CLOSED_PORT \
    wine "$tests" --gtest_output="xml:$(wine_path "$work")\\odbc.xml"
expect_all_passed "$work/odbc.xml" 4
echo "sites-e2e.sh: all steps passed"

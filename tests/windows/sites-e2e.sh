#!/usr/bin/env bash
# sites-e2e.sh WIN_BUILD: the site register of the Windows build under Wine, against the real
# engines: a PostgreSQL 15 server that this script starts on the Linux side (postgres-server.sh),
# reached through Qt's ODBC driver, Wine's odbc32, the host's unixODBC and Debian's "PostgreSQL
# Unicode" driver. orbiqa_windows_sites_tests.exe runs `db init` as the database's owner, adds a
# site and records history as a technician, reads it back as the office, sees the technician's
# forbidden UPDATE, DELETE and TRUNCATE refused by the database, uses TLS as the setting says and
# finds a closed port unreachable; every case must run, none may skip. The Windows program's
# time zone differs from the server's.
# Then orbiqa-cli.exe as it is shipped (a copy of the staged package, with nothing on its path, so
# that it must find Qt6Sql.dll and sqldrivers/ beside itself): sites and history in its own SQLite
# file, the GPRS password only as changed; on the server `db init` as the owner, a site added by
# the office, history recorded by a technician and read back, the technician's edit and erasure
# refused with exit status 2, and the sites listed through an ODBC data source named in the URL.
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
# As on a real Windows, where the 64-bit psqlODBC is installed as "PostgreSQL Unicode(x64)": the
# prefix's registry lists the driver under that name, and so does unixODBC's list, so the
# program reaches the server only by asking for the name the driver is installed under.
readonly kDriverName="PostgreSQL Unicode(x64)"
wine reg add 'HKLM\Software\ODBC\ODBCINST.INI\ODBC Drivers' /v "$kDriverName" /t REG_SZ /d Installed /f >/dev/null 2>&1
PG_ODBC_DRIVER=$kDriverName start_postgres "$work"
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
expect_all_passed "$work/odbc.xml" 6

stage=$(ls -d "$WIN_BUILD"/stage/orbiqa-* 2>/dev/null | head -n 1)
[ -n "$stage" ] || { echo "sites-e2e.sh: no staged package in $WIN_BUILD/stage (make windows-package)" >&2; exit 1; }
# A portable copy keeps its settings and its site database beside itself: a copy, so that the
# staged files the installer's test compares stay as they are.
cp -r "$stage" "$work/program"
program=$work/program/orbiqa-cli.exe
files=$(wine_path "$work")
cli() {  # cli COMMAND...: the shipped orbiqa-cli.exe, its output in $work/out; its status
    (unset WINEPATH WINEQT_PLUGIN_PATH; cd "$work" && TZ=$kProgramTimeZone wine "$program" "$@") >"$work/out" 2>&1
}
expect() {  # expect STATUS COMMAND...
    local want=$1 got=0; shift
    cli "$@" || got=$?
    [ "$got" -eq "$want" ] || { echo "sites-e2e.sh: status $got, expected $want: $*" >&2; cat "$work/out" >&2; exit 1; }
}
holds() { grep -qF -- "$1" "$work/out" || { echo "sites-e2e.sh: no '$1' in:" >&2; cat "$work/out" >&2; exit 1; }; }

head -c 1088 /dev/zero | tr '\0' '\377' >"$work/first.VR3"
cp "$work/first.VR3" "$work/second.VR3"
expect 0 set "$files\\second.VR3" APN=net.telekom.hu PWD=titok123

echo "--- orbiqa-cli.exe as shipped, its own SQLite file"
expect 0 site add "Raktár Győr" --customer "Árvíztűrő Kft." --contact "+36 30 123 4567"
expect 0 site import "Raktár Győr" "$files\\first.VR3"
expect 0 site import "Raktár Győr" "$files\\second.VR3"
[ -f "$work/program/OrbiqaSites.sqlite" ] || { echo "sites-e2e.sh: no site database beside the portable program" >&2; ls "$work/program" >&2; exit 1; }
expect 0 site history "Raktár Győr" --json
holds '"kind": "save"'
holds '"new": "net.telekom.hu"'
holds '{"field": "PWD", "changed": true}'
! grep -q titok123 "$work/out" || { echo "sites-e2e.sh: the GPRS password stands in the history" >&2; exit 1; }
expect 0 site list győr --json
holds '"customer": "Árvíztűrő Kft."'

echo "--- orbiqa-cli.exe and the PostgreSQL server through ODBC"
server="postgresql://%s@127.0.0.1:$PG_PORT/orbiqa_sites"
owner_db=$(printf "$server" orbiqa_owner)
office_db=$(printf "$server" orbiqa_test_office)
tech_db=$(printf "$server" orbiqa_test_tech)
expect 0 db init --db "$owner_db"
holds "orbiqa_technician"
psql -X -q -v ON_ERROR_STOP=1 -h "$PG_WORK/pg" -p "$PG_PORT" -U postgres_admin -d orbiqa_sites \
    -c "SET client_min_messages = warning" -c "GRANT orbiqa_technician TO orbiqa_test_tech" \
    -c "GRANT orbiqa_office TO orbiqa_test_office"
expect 0 site add "Iroda Szeged" --customer "Szegedi Őrség Bt." --from "$files\\first.VR3" --db "$office_db"
expect 0 site import "Iroda Szeged" "$files\\second.VR3" --db "$tech_db"
expect 0 site history "Iroda Szeged" --json --db "$office_db"
holds '"site": "Iroda Szeged"'
holds '{"field": "PWD", "changed": true}'
[ "$(psql -X -At -h "$PG_WORK/pg" -p "$PG_PORT" -U postgres_admin -d orbiqa_sites \
      -c "SELECT db_user FROM history WHERE site_name = 'Iroda Szeged'")" = orbiqa_test_tech ] ||
    { echo "sites-e2e.sh: the history entry was not written as the technician" >&2; exit 1; }
expect 2 site edit "Iroda Szeged" --customer "Más Kft." --db "$tech_db"
expect 2 site erase "Iroda Szeged" --yes --db "$tech_db"
expect 0 site show "Iroda Szeged" --json --db "$office_db"
holds '"customer": "Szegedi Őrség Bt."'

echo "--- the office's ODBC data source, named as the URL's service"
printf '[Orbiqa iroda]\nDriver=%s\nServername=127.0.0.1\nPort=%s\nDatabase=orbiqa_sites\nUsername=orbiqa_test_office\nSSLmode=require\n' \
    "$kDriverName" "$PG_PORT" >"$ODBCINI"
expect 0 site list szeged --json --db "postgresql:///?service=Orbiqa%20iroda"
holds '"name": "Iroda Szeged"'
echo "sites-e2e.sh: all steps passed"

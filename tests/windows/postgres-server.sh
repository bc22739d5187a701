# Sourced by the Windows test scripts: a PostgreSQL 15 server of the test's own on the Linux side,
# reached by Windows programs under Wine through ODBC (Wine's odbc32 hands the Unicode ODBC calls
# to the host's unixODBC, which loads Debian's "PostgreSQL Unicode" driver).
#
# start_postgres WORK: initdb into WORK/pg as a user who is not root (postgres refuses root),
# listening on a free loopback port with TLS offered (a throw-away certificate), and in a time
# zone far from the programs' own, so that a time read back in the wrong zone shows. Makes the
# database orbiqa_sites owned by orbiqa_owner (no superuser; it may create roles, which `db init`
# needs for the two roles of the register) and the login roles
# orbiqa_test_tech and orbiqa_test_office; their passwords stand only in libpq's password file
# WORK/pgpass. unixODBC gets a driver list of its own in WORK/odbc, never /etc's, naming the
# driver PG_ODBC_DRIVER (default "PostgreSQL Unicode"), and an empty list of data sources.
# Sets PG_PORT, PG_CLOSED_PORT (a port nobody listens on) and exports ODBCSYSINI, ODBCINI and
# PGPASSFILE. stop_postgres ends it.
readonly kPgBin=/usr/lib/postgresql/15/bin
readonly kOdbcDriver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so
readonly kServerTimeZone=Asia/Tokyo

pg_free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

pg_as_server_user() {  # the command as the server's user: nobody when run as root, else oneself
    if [ "$(id -u)" -eq 0 ]; then (cd / && runuser -u nobody -- "$@"); else "$@"; fi
}

start_postgres() {
    PG_WORK=$1
    local p
    for p in "$kPgBin/initdb" "$kPgBin/pg_ctl" "$kOdbcDriver"; do
        [ -e "$p" ] || { echo "postgres-server.sh: $p is missing (postgresql-15, odbc-postgresql)" >&2; return 1; }
    done
    chmod 755 "$PG_WORK"
    mkdir -p "$PG_WORK/pg"
    [ "$(id -u)" -ne 0 ] || chown nobody "$PG_WORK/pg"
    pg_as_server_user "$kPgBin/initdb" -D "$PG_WORK/pg/data" -U postgres_admin -E UTF8 --locale=C.UTF-8 \
        --auth-local=trust --auth-host=scram-sha-256 >"$PG_WORK/initdb.log" 2>&1 ||
        { cat "$PG_WORK/initdb.log" >&2; return 1; }
    pg_as_server_user openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
        -keyout "$PG_WORK/pg/data/server.key" -out "$PG_WORK/pg/data/server.crt" >/dev/null 2>&1 &&
        pg_as_server_user chmod 600 "$PG_WORK/pg/data/server.key" || return 1
    PG_PORT=$(pg_free_port)
    PG_CLOSED_PORT=$(pg_free_port)
    cat >>"$PG_WORK/pg/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
port = $PG_PORT
unix_socket_directories = '$PG_WORK/pg'
ssl = on
timezone = '$kServerTimeZone'
fsync = off
CONF
    pg_as_server_user "$kPgBin/pg_ctl" -D "$PG_WORK/pg/data" -l "$PG_WORK/pg/server.log" -w -t 60 start >/dev/null ||
        { cat "$PG_WORK/pg/server.log" >&2; return 1; }
    PG_STARTED=1
    local admin=(psql -X -q -v ON_ERROR_STOP=1 -h "$PG_WORK/pg" -p "$PG_PORT" -U postgres_admin)
    "${admin[@]}" -d postgres -c "CREATE ROLE orbiqa_owner LOGIN CREATEROLE PASSWORD 'owner-pw'" \
        -c "CREATE ROLE orbiqa_test_tech LOGIN PASSWORD 'tech-pw'" \
        -c "CREATE ROLE orbiqa_test_office LOGIN PASSWORD 'office-pw'" &&
    "${admin[@]}" -d postgres -c "CREATE DATABASE orbiqa_sites OWNER orbiqa_owner" || return 1

    printf '127.0.0.1:%s:*:%s\n' "$PG_PORT" orbiqa_owner:owner-pw "$PG_PORT" orbiqa_test_tech:tech-pw \
        "$PG_PORT" orbiqa_test_office:office-pw >"$PG_WORK/pgpass"
    chmod 600 "$PG_WORK/pgpass"
    mkdir -p "$PG_WORK/odbc"
    printf '[%s]\nDescription=PostgreSQL ODBC driver (Unicode version)\nDriver=%s\n' \
        "${PG_ODBC_DRIVER:-PostgreSQL Unicode}" "$kOdbcDriver" >"$PG_WORK/odbc/odbcinst.ini"
    : >"$PG_WORK/odbc/odbc.ini"
    export ODBCSYSINI=$PG_WORK/odbc ODBCINI=$PG_WORK/odbc/odbc.ini PGPASSFILE=$PG_WORK/pgpass
}

stop_postgres() {
    [ -n "${PG_STARTED:-}" ] || return 0
    pg_as_server_user "$kPgBin/pg_ctl" -D "$PG_WORK/pg/data" -m immediate stop >/dev/null 2>&1 || true
    PG_STARTED=
}

// The tables of the register, their migrations, and the PostgreSQL set-up with its roles.
//
// Versions of the SQLite file:
//   1  sites, history (with its append-only triggers), outbox
//   2  history: the module identity and the signal strength seen
//   3  sites: a case-folded search text and its indexes; history: the database user
// A file of any earlier version is brought to the newest one in one transaction when opened.
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include "sites/SqlSiteStore.h"

namespace orbiqa::sites {

QString SearchTextOf(const QString& name, const QString& customer, const QString& address);

namespace {

const QStringList kSqliteVersion1 = {
    R"(CREATE TABLE schema_version (version INTEGER NOT NULL))",
    R"(CREATE TABLE sites (
        id TEXT PRIMARY KEY,
        name TEXT NOT NULL UNIQUE CHECK (length(name) BETWEEN 1 AND 200),
        customer TEXT NOT NULL DEFAULT '' CHECK (length(customer) <= 2000),
        address TEXT NOT NULL DEFAULT '' CHECK (length(address) <= 2000),
        contact TEXT NOT NULL DEFAULT '' CHECK (length(contact) <= 2000),
        notes TEXT NOT NULL DEFAULT '' CHECK (length(notes) <= 65536),
        module_version TEXT NOT NULL DEFAULT '' CHECK (length(module_version) <= 2000),
        data_version INTEGER,
        panel_id INTEGER,
        server_id INTEGER,
        last_port TEXT NOT NULL DEFAULT '' CHECK (length(last_port) <= 2000),
        parameters BLOB CHECK (parameters IS NULL OR length(parameters) = 1088),
        created TEXT NOT NULL,
        updated TEXT NOT NULL))",
    R"(CREATE TABLE history (
        seq INTEGER PRIMARY KEY AUTOINCREMENT,
        event_id TEXT NOT NULL UNIQUE,
        site_id TEXT NOT NULL,
        site_name TEXT NOT NULL,
        kind TEXT NOT NULL CHECK (kind IN ('read','write','compare','provision','save','erase')),
        time TEXT NOT NULL,
        operator TEXT NOT NULL,
        computer TEXT NOT NULL,
        program_version TEXT NOT NULL,
        key_fingerprint TEXT NOT NULL,
        port TEXT NOT NULL,
        outcome TEXT NOT NULL CHECK (outcome IN ('ok','failed','interrupted')),
        outcome_text TEXT NOT NULL,
        before BLOB,
        after BLOB,
        changes TEXT NOT NULL))",
    R"(CREATE INDEX history_site ON history (site_id, time))",
    // Entries not yet sent to the shared server.
    R"(CREATE TABLE outbox (event_id TEXT PRIMARY KEY))",
    // The site being erased: the one time a history entry may go.
    R"(CREATE TABLE erasing (site_id TEXT PRIMARY KEY))",
    R"(CREATE TRIGGER history_no_update BEFORE UPDATE ON history
        BEGIN SELECT RAISE(ABORT, 'history is append-only'); END)",
    R"(CREATE TRIGGER history_no_delete BEFORE DELETE ON history
        WHEN NOT EXISTS (SELECT 1 FROM erasing WHERE site_id = OLD.site_id)
        BEGIN SELECT RAISE(ABORT, 'history is append-only'); END)",
};

const QStringList kSqliteVersion2 = {
    R"(ALTER TABLE history ADD COLUMN module_version TEXT NOT NULL DEFAULT '')",
    R"(ALTER TABLE history ADD COLUMN data_version INTEGER)",
    R"(ALTER TABLE history ADD COLUMN signal INTEGER)",
};

const QStringList kSqliteVersion3 = {
    R"(ALTER TABLE sites ADD COLUMN search_text TEXT NOT NULL DEFAULT '')",
    R"(CREATE INDEX sites_panel ON sites (panel_id))",
    R"(ALTER TABLE history ADD COLUMN db_user TEXT NOT NULL DEFAULT '')",
    R"(DROP INDEX history_site)",
    R"(CREATE INDEX history_site ON history (site_id, time DESC, seq DESC))",
};

void Run(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw StoreError(StoreError::Kind::Failed,
                         QStringLiteral("Az adatbázis szerkezete nem hozható létre: %1").arg(q.lastError().text()));
}

QStringList Tables(QSqlDatabase& db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
        const QString code = q.lastError().nativeErrorCode();
        if (code == QLatin1String("26") || code == QLatin1String("11"))
            throw StoreError(StoreError::Kind::Corrupt,
                             QStringLiteral("A fájl nem adatbázis vagy sérült: %1").arg(q.lastError().text()));
        if (code == QLatin1String("5") || code == QLatin1String("6"))
            throw StoreError(StoreError::Kind::Busy,
                             QStringLiteral("Az adatbázist egy másik program zárolja: %1").arg(q.lastError().text()));
        throw StoreError(StoreError::Kind::Failed, q.lastError().text());
    }
    QStringList names;
    while (q.next()) names << q.value(0).toString();
    return names;
}

int StoredVersion(QSqlDatabase& db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT version FROM schema_version")) || !q.next())
        throw StoreError(StoreError::Kind::Corrupt,
                         QStringLiteral("Az adatbázis sématáblája hibás: %1").arg(q.lastError().text()));
    return q.value(0).toInt();
}

void FillSearchText(QSqlDatabase& db) {
    QSqlQuery read(db);
    if (!read.exec(QStringLiteral("SELECT id, name, customer, address FROM sites")))
        throw StoreError(StoreError::Kind::Failed, read.lastError().text());
    QSqlQuery write(db);
    write.prepare(QStringLiteral("UPDATE sites SET search_text = ? WHERE id = ?"));
    while (read.next()) {
        write.addBindValue(SearchTextOf(read.value(1).toString(), read.value(2).toString(), read.value(3).toString()));
        write.addBindValue(read.value(0));
        if (!write.exec()) throw StoreError(StoreError::Kind::Failed, write.lastError().text());
    }
}

}  // namespace

QString SearchTextOf(const QString& name, const QString& customer, const QString& address) {
    return (name + QLatin1Char('\n') + customer + QLatin1Char('\n') + address).toCaseFolded();
}

void MigrateSqlite(QSqlDatabase& db, int targetVersion) {
    const QStringList tables = Tables(db);
    int version = 0;
    if (tables.contains(QLatin1String("schema_version"))) {
        version = StoredVersion(db);
        if (version > kSchemaVersion)
            throw StoreError(StoreError::Kind::Corrupt,
                             QStringLiteral("Az adatbázist egy újabb programváltozat készítette (%1. séma, ez a "
                                            "program a %2.-ig ismeri).")
                                 .arg(version)
                                 .arg(kSchemaVersion));
        if (version < 1)
            throw StoreError(StoreError::Kind::Corrupt, QStringLiteral("Ismeretlen sémaváltozat: %1").arg(version));
    } else if (!tables.isEmpty() && !(tables.size() == 1 && tables.first() == QLatin1String("sqlite_sequence"))) {
        throw StoreError(StoreError::Kind::Corrupt,
                         QStringLiteral("A fájl egy másik program adatbázisa, nem telephely-nyilvántartás."));
    }
    if (version >= targetVersion) return;

    QSqlQuery begin(db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
        throw StoreError(StoreError::Kind::Busy,
                         QStringLiteral("Az adatbázis nem frissíthető: %1").arg(begin.lastError().text()));
    try {
        if (version < 1 && targetVersion >= 1) {
            for (const QString& sql : kSqliteVersion1) Run(db, sql);
            Run(db, QStringLiteral("INSERT INTO schema_version VALUES (1)"));
        }
        if (version < 2 && targetVersion >= 2)
            for (const QString& sql : kSqliteVersion2) Run(db, sql);
        if (version < 3 && targetVersion >= 3) {
            for (const QString& sql : kSqliteVersion3) Run(db, sql);
            FillSearchText(db);
        }
        Run(db, QStringLiteral("UPDATE schema_version SET version = %1").arg(targetVersion));
        Run(db, QStringLiteral("COMMIT"));
    } catch (...) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void MigrateSchema(QSqlDatabase& db, Dialect dialect) {
    if (dialect == Dialect::Sqlite) {
        MigrateSqlite(db, kSchemaVersion);
        return;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT version FROM schema_version")) || !q.next())
        throw StoreError(StoreError::Kind::Corrupt,
                         QStringLiteral("A közös adatbázisban nincs telephely-nyilvántartás (vagy nincs hozzá "
                                        "jog); az adatbázis tulajdonosa hozza létre: orbiqa-cli db init"));
    const int version = q.value(0).toInt();
    if (version > kSchemaVersion)
        throw StoreError(StoreError::Kind::Corrupt,
                         QStringLiteral("A közös adatbázis újabb programváltozathoz készült (%1. séma).").arg(version));
    if (version < kSchemaVersion)
        throw StoreError(StoreError::Kind::Corrupt,
                         QStringLiteral("A közös adatbázis régebbi sémájú (%1.); az adatbázis tulajdonosa "
                                        "frissítse: orbiqa-cli db init")
                             .arg(version));
}

QString PostgresSetupSql() {
    return QStringLiteral(R"SQL(-- Orbiqa site register: schema, append-only history, erasure and roles.
-- Run as the database's owner; running it again changes nothing.
SET client_min_messages = warning;
BEGIN;
CREATE EXTENSION IF NOT EXISTS pg_trgm;

CREATE TABLE IF NOT EXISTS schema_version (version integer NOT NULL);
INSERT INTO schema_version SELECT 3 WHERE NOT EXISTS (SELECT 1 FROM schema_version);

CREATE TABLE IF NOT EXISTS sites (
    id text PRIMARY KEY,
    name text NOT NULL UNIQUE CHECK (length(name) BETWEEN 1 AND 200),
    customer text NOT NULL DEFAULT '' CHECK (length(customer) <= 2000),
    address text NOT NULL DEFAULT '' CHECK (length(address) <= 2000),
    contact text NOT NULL DEFAULT '' CHECK (length(contact) <= 2000),
    notes text NOT NULL DEFAULT '' CHECK (length(notes) <= 65536),
    module_version text NOT NULL DEFAULT '' CHECK (length(module_version) <= 2000),
    data_version integer,
    panel_id integer,
    server_id integer,
    last_port text NOT NULL DEFAULT '' CHECK (length(last_port) <= 2000),
    parameters bytea CHECK (parameters IS NULL OR length(parameters) = 1088),
    created timestamptz NOT NULL,
    updated timestamptz NOT NULL,
    search_text text NOT NULL DEFAULT '');
CREATE INDEX IF NOT EXISTS sites_search ON sites USING gin (search_text gin_trgm_ops);
CREATE INDEX IF NOT EXISTS sites_panel ON sites (panel_id);

CREATE TABLE IF NOT EXISTS history (
    seq bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    event_id text NOT NULL UNIQUE,
    site_id text NOT NULL,
    site_name text NOT NULL,
    kind text NOT NULL CHECK (kind IN ('read','write','compare','provision','save','erase')),
    time timestamptz NOT NULL,
    operator text NOT NULL,
    computer text NOT NULL,
    program_version text NOT NULL,
    key_fingerprint text NOT NULL,
    port text NOT NULL,
    outcome text NOT NULL CHECK (outcome IN ('ok','failed','interrupted')),
    outcome_text text NOT NULL,
    before bytea,
    after bytea,
    changes text NOT NULL,
    module_version text NOT NULL DEFAULT '',
    data_version integer,
    signal integer,
    -- who the server knew the writer as, whatever the program says
    db_user text NOT NULL DEFAULT session_user);
CREATE INDEX IF NOT EXISTS history_site ON history (site_id, time DESC, seq DESC);

-- History is append-only: no UPDATE, DELETE or TRUNCATE, whoever asks, except the rows of the
-- site that orbiqa_erase_site is erasing.
CREATE OR REPLACE FUNCTION orbiqa_history_append_only() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP = 'DELETE' AND current_setting('orbiqa.erasing', true) = OLD.site_id THEN
        RETURN OLD;
    END IF;
    RAISE EXCEPTION 'history is append-only' USING ERRCODE = 'insufficient_privilege';
END $$;
DROP TRIGGER IF EXISTS history_append_only ON history;
CREATE TRIGGER history_append_only BEFORE UPDATE OR DELETE ON history
    FOR EACH ROW EXECUTE FUNCTION orbiqa_history_append_only();
DROP TRIGGER IF EXISTS history_no_truncate ON history;
CREATE TRIGGER history_no_truncate BEFORE TRUNCATE ON history
    FOR EACH STATEMENT EXECUTE FUNCTION orbiqa_history_append_only();

-- The one delete: a site, its personal data and its history go, and the erasure is recorded.
CREATE OR REPLACE FUNCTION orbiqa_erase_site(p_name text, p_event_id text, p_time timestamptz,
        p_operator text, p_computer text, p_program_version text, p_key_fingerprint text)
    RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    sid text;
BEGIN
    SELECT id INTO sid FROM sites WHERE name = p_name FOR UPDATE;
    IF sid IS NULL THEN
        RAISE EXCEPTION 'no site named %', p_name USING ERRCODE = 'no_data_found';
    END IF;
    PERFORM set_config('orbiqa.erasing', sid, true);
    DELETE FROM history WHERE site_id = sid;
    DELETE FROM sites WHERE id = sid;
    PERFORM set_config('orbiqa.erasing', '', true);
    INSERT INTO history (event_id, site_id, site_name, kind, time, operator, computer,
                         program_version, key_fingerprint, port, outcome, outcome_text, changes,
                         db_user)
    VALUES (p_event_id, sid, p_name, 'erase', p_time, p_operator, p_computer, p_program_version,
            p_key_fingerprint, '', 'ok', '', '[]', session_user);
END $$;
REVOKE ALL ON FUNCTION orbiqa_erase_site(text, text, timestamptz, text, text, text, text) FROM PUBLIC;

DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'orbiqa_technician') THEN
        CREATE ROLE orbiqa_technician NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'orbiqa_office') THEN
        CREATE ROLE orbiqa_office NOLOGIN;
    END IF;
END $$;
GRANT orbiqa_technician TO orbiqa_office;

REVOKE ALL ON schema_version, sites, history FROM PUBLIC;
-- Technicians read sites, add a new one in the field, keep a site's module facts current, and
-- append history.
GRANT SELECT ON schema_version, sites, history TO orbiqa_technician;
GRANT INSERT ON sites, history TO orbiqa_technician;
GRANT UPDATE (module_version, data_version, panel_id, server_id, last_port, parameters, updated)
    ON sites TO orbiqa_technician;
-- The office edits a site's own texts and erases sites.
GRANT UPDATE ON sites TO orbiqa_office;
GRANT EXECUTE ON FUNCTION orbiqa_erase_site(text, text, timestamptz, text, text, text, text)
    TO orbiqa_office;
COMMIT;
)SQL");
}

}  // namespace orbiqa::sites

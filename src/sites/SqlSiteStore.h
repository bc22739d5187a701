#pragma once
// The Qt Sql store behind SiteStore, for SQLite and PostgreSQL alike; the local file's outbox.
// Internal to the register: callers use SiteStore.h and SiteRegister.h.
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "sites/SiteStore.h"

namespace orbiqa::sites {

enum class Dialect { Sqlite, Postgres };

class SqlSiteStore : public SiteStore {
public:
    /// Takes an opened connection (its name is owned and removed on destruction).
    SqlSiteStore(const QString& connectionName, Dialect dialect, QString description);
    /// Whether AppendEntry also queues the entry in the outbox (the local file beside a shared
    /// server).
    void SetQueueing(bool on) { queueing_ = on; }
    ~SqlSiteStore() override;

    QString Describe() const override { return description_; }
    int SchemaVersion() override;
    std::vector<Site> ListSites(const SiteQuery& query) override;
    std::optional<Site> FindSite(const QString& name) override;
    Site AddSite(const Site& site) override;
    Site EditSite(const QString& name, const Site& changed) override;
    bool AppendEntry(const HistoryEntry& entry) override;
    std::vector<HistoryEntry> History(const QString& name, int limit) override;
    bool HasEntry(const QUuid& eventId) override;
    void EraseSite(const QString& name, const HistoryEntry& erasure) override;

    // The outbox of the local file: entries not yet on the shared server.
    std::vector<HistoryEntry> UnsentEntries(int limit);
    void MarkSent(const QUuid& eventId);
    int UnsentCount();

    QSqlDatabase Database() const;
    Dialect dialect() const { return dialect_; }

private:
    QString connection_;
    Dialect dialect_;
    QString description_;
    bool queueing_ = false;
};

/// A connection to the shared server under the name, not yet opened: Qt's PostgreSQL driver
/// (QPSQL) on Linux, its ODBC driver (QODBC) with the "PostgreSQL Unicode" driver on Windows.
/// One file per system (PostgresConnectionPosix.cpp, PostgresConnectionWin32.cpp).
QSqlDatabase AddPostgresConnection(const QString& connectionName, const PostgresTarget& target);

/// An SQL script split into its statements (each with its ';'), a function body quoted in $$
/// kept whole; blank lines and comment lines between statements dropped.
QStringList SplitSqlStatements(const QString& script);

/// The schema of the dialect brought to the newest version (created when empty); throws
/// StoreError(Corrupt) for a database that is not ours or is newer than this program.
void MigrateSchema(QSqlDatabase& db, Dialect dialect);
/// The newest schema version.
inline constexpr int kSchemaVersion = 3;
/// An SQLite database brought to targetVersion (an earlier one only for the migration tests).
void MigrateSqlite(QSqlDatabase& db, int targetVersion);
/// What a search matches in: name, customer and address, case-folded.
QString SearchTextOf(const QString& name, const QString& customer, const QString& address);

}  // namespace orbiqa::sites

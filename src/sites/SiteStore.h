#pragma once
// One store of sites and history, behind which sits an SQLite file or a PostgreSQL server (Qt
// Sql). Every function throws StoreError on failure and leaves the store unchanged; none
// changes or deletes a history entry except EraseSite, the one delete, which records itself.
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "sites/DatabaseSettings.h"
#include "sites/SiteRecords.h"

namespace orbiqa::sites {

class StoreError : public std::runtime_error {
public:
    enum class Kind {
        Unreachable,  ///< no connection (server down, socket missing, timed out)
        Refused,      ///< the database refused the statement (rights, the history's triggers)
        Invalid,      ///< bad input: ValidateSite's reasons, a name in use, an unknown site
        Corrupt,      ///< not a database of ours, a damaged file, a newer schema
        Busy,         ///< locked by another program for longer than the busy time-out
        Failed,       ///< anything else the driver said (disk full, ...)
    };
    StoreError(Kind kind, const QString& message)
        : std::runtime_error(message.toStdString()), kind_(kind), text_(message) {}
    Kind kind() const { return kind_; }
    /// The message, in Hungarian, for the person.
    const QString& text() const { return text_; }

private:
    Kind kind_;
    QString text_;
};

struct SiteQuery {
    QString text;       ///< matched within name, customer, address, and as PanelID; empty: all
    int limit = 200;    ///< at most this many, by name
};

class SiteStore {
public:
    virtual ~SiteStore() = default;

    /// "SQLite /path/OrbiqaSites.sqlite" or "PostgreSQL postgresql://host/db".
    virtual QString Describe() const = 0;
    /// The schema version the store holds now.
    virtual int SchemaVersion() = 0;

    virtual std::vector<Site> ListSites(const SiteQuery& query) = 0;
    virtual std::optional<Site> FindSite(const QString& name) = 0;
    /// Adds a new site (its id made here when null); Invalid when the name is in use.
    virtual Site AddSite(const Site& site) = 0;
    /// Changes a site's own texts (name, customer, address, contact, notes), found by its name.
    virtual Site EditSite(const QString& name, const Site& changed) = 0;

    /// Appends the entry and, for a successful event with a set after, makes that set, the
    /// identity and the port the site's current ones; in one transaction. The site is found by
    /// the entry's name and created when missing. False when an entry with the same event id is
    /// already there (nothing changes then): sending an entry twice lands it once. False too for
    /// an entry of a site erased after the entry's time: an erasure is not undone by a late record.
    virtual bool AppendEntry(const HistoryEntry& entry) = 0;
    /// The site's entries, newest first, at most limit.
    virtual std::vector<HistoryEntry> History(const QString& name, int limit = 1000) = 0;
    /// Whether the entry with this id is stored.
    virtual bool HasEntry(const QUuid& eventId) = 0;

    /// Erases the site, its personal data and its history, and appends the erasure (whose
    /// entry carries no set and no changes) in the same transaction. Refused for a technician.
    virtual void EraseSite(const QString& name, const HistoryEntry& erasure) = 0;
};

/// The SQLite file (created with its folder on first use, migrated from any earlier schema).
/// Corrupt for a file that is not ours or is damaged.
std::unique_ptr<SiteStore> OpenSqliteStore(const QString& path);

/// The shared PostgreSQL server; Unreachable within about kConnectTimeoutSeconds when it cannot
/// be reached. The schema must exist (`orbiqa-cli db init`); Corrupt when it does not.
std::unique_ptr<SiteStore> OpenPostgresStore(const PostgresTarget& target);

/// The SQL that `db init` runs as the database owner: tables, indexes, triggers, the erasure
/// function and the two roles with their grants. Safe to run again.
QString PostgresSetupSql();

/// Runs PostgresSetupSql on the server (as its owner); throws StoreError.
void InitializePostgres(const PostgresTarget& target);

}  // namespace orbiqa::sites

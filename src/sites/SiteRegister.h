#pragma once
// The site register: what the window and the command line call. It keeps the local SQLite file
// and, when one is configured, the shared PostgreSQL server. Every record is written first to
// the local file (with its event id, marked unsent) and then sent on to the shared server; what
// could not be sent waits in the local file and goes with the next record or SendPending. So a
// record made offline arrives exactly once, and a transfer never fails because its record did.
#include <QString>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "sites/SiteStore.h"

namespace orbiqa::sites {

/// What became of one record.
struct RecordResult {
    enum class State {
        Recorded,  ///< stored where the register keeps it (local, and the server when configured)
        Pending,   ///< stored locally; the shared server will get it later (why says why)
        Failed,    ///< stored nowhere (why says why); the transfer itself is unaffected
    };
    State state = State::Recorded;
    QString why;  ///< Hungarian
};

struct RegisterOptions {
    QString localPath;                     ///< the SQLite file
    std::optional<PostgresTarget> shared;  ///< the office server, if any
};

class SiteRegister {
public:
    /// Opens the local file and, when configured, the shared server. Never throws: a local file
    /// that cannot be used or a server that cannot be reached is said by LocalProblem /
    /// SharedProblem, and the register goes on with what it has.
    explicit SiteRegister(RegisterOptions options);
    ~SiteRegister();
    SiteRegister(const SiteRegister&) = delete;
    SiteRegister& operator=(const SiteRegister&) = delete;

    /// The local file's problem (Hungarian), or empty.
    QString LocalProblem() const;
    /// The shared server's problem (Hungarian), or empty (also when none is configured).
    QString SharedProblem() const;
    bool HasShared() const;

    /// The store the sites are read from and edited in: the shared one when configured and
    /// reachable, else the local one. Throws StoreError(Unreachable) when there is none, and
    /// when a shared one is configured but cannot be reached for an edit (edits are the office's).
    SiteStore& Sites();
    /// The store for reading: like Sites() but falls back to the local copy when the shared one
    /// cannot be reached.
    SiteStore& ReadStore();

    /// Records an event: local first, then the shared server. The entry's changes are filled in
    /// from its sets when empty. Never throws.
    RecordResult Record(HistoryEntry entry);

    /// Sends the local entries the shared server lacks; returns how many went. Throws StoreError
    /// when the server cannot be reached.
    int SendPending();
    /// How many local entries still wait for the shared server.
    int PendingCount();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

/// The register's options for this run: the local file in the settings folder, and the shared
/// server the setting names (commandLine, $ORBIQA_DB, the settings file). A setting that cannot
/// be used comes back as the error (Hungarian).
std::variant<RegisterOptions, QString> ConfiguredOptions(const std::optional<QString>& commandLine);

}  // namespace orbiqa::sites

#include "sites/SiteRegister.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include "base/SettingsLocation.h"
#include "sites/SiteChanges.h"
#include "sites/SqlSiteStore.h"

namespace orbiqa::sites {

Q_LOGGING_CATEGORY(lcSites, "orbiqa.sites")

namespace {
constexpr int kSendBatch = 500;
/// After the shared server could not be reached, records go on locally for this long before the
/// next attempt: a dead network must not add a connect time-out to every transfer.
constexpr qint64 kRetryAfterMs = 30000;
}

struct SiteRegister::Impl {
    RegisterOptions options;
    std::unique_ptr<SiteStore> local;
    std::unique_ptr<SiteStore> shared;
    QString localProblem;
    QString sharedProblem;
    QElapsedTimer sinceFailure;  ///< running while the server is taken as out of reach

    SqlSiteStore* Local() { return static_cast<SqlSiteStore*>(local.get()); }

    void OpenLocal() {
        try {
            local = OpenSqliteStore(options.localPath);
            if (options.shared) Local()->SetQueueing(true);
            localProblem.clear();
        } catch (const StoreError& e) {
            localProblem = e.text();
            qCWarning(lcSites) << "local store:" << e.text();
        }
    }

    // Connects to the shared server when it is configured and not connected; false when it
    // cannot be reached (sharedProblem says why).
    // A recent failure is believed without trying again, unless force.
    bool ConnectShared(bool force = false) {
        if (!options.shared) return false;
        if (shared) return true;
        if (!force && sinceFailure.isValid() && sinceFailure.elapsed() < kRetryAfterMs) return false;
        try {
            shared = OpenPostgresStore(*options.shared);
            sharedProblem.clear();
            sinceFailure.invalidate();
            return true;
        } catch (const StoreError& e) {
            sharedProblem = e.text();
            sinceFailure.start();
            qCWarning(lcSites) << "shared store:" << e.text();
            return false;
        }
    }

    // After a failure the connection may be gone: the next use connects afresh.
    void DropShared(const StoreError& e) {
        sharedProblem = e.text();
        if (e.kind() == StoreError::Kind::Unreachable || e.kind() == StoreError::Kind::Failed) {
            shared.reset();
            sinceFailure.start();
        }
    }

    // Sends the outbox in the order the entries were made; stops at the first failure.
    int Send(bool force = false) {
        if (!local || !ConnectShared(force)) return 0;
        int sent = 0;
        for (;;) {
            const auto batch = Local()->UnsentEntries(kSendBatch);
            if (batch.empty()) return sent;
            for (const HistoryEntry& e : batch) {
                try {
                    shared->AppendEntry(e);
                } catch (const StoreError& error) {
                    // A refused or invalid entry would block the queue for ever; it stays in
                    // the local history and leaves the queue with a warning.
                    if (error.kind() == StoreError::Kind::Invalid) {
                        qCWarning(lcSites) << "entry not accepted by the shared store:" << error.text();
                        Local()->MarkSent(e.eventId);
                        continue;
                    }
                    DropShared(error);
                    throw;
                }
                Local()->MarkSent(e.eventId);
                ++sent;
            }
        }
    }
};

SiteRegister::SiteRegister(RegisterOptions options) : d(std::make_unique<Impl>()) {
    d->options = std::move(options);
    d->OpenLocal();
    d->ConnectShared();
}

SiteRegister::~SiteRegister() = default;

QString SiteRegister::LocalProblem() const { return d->localProblem; }
QString SiteRegister::SharedProblem() const { return d->sharedProblem; }
bool SiteRegister::HasShared() const { return d->options.shared.has_value(); }

SiteStore& SiteRegister::Sites() {
    if (d->options.shared) {
        if (d->ConnectShared(true)) return *d->shared;
        throw StoreError(StoreError::Kind::Unreachable, d->sharedProblem);
    }
    if (!d->local) d->OpenLocal();
    if (!d->local) throw StoreError(StoreError::Kind::Unreachable, d->localProblem);
    return *d->local;
}

SiteStore& SiteRegister::ReadStore() {
    if (d->options.shared && d->ConnectShared()) return *d->shared;
    if (!d->local) d->OpenLocal();
    if (!d->local) throw StoreError(StoreError::Kind::Unreachable, d->localProblem);
    return *d->local;
}

RecordResult SiteRegister::Record(HistoryEntry entry) {
    if (entry.changes.empty()) entry.changes = ChangedSettings(entry.before, entry.after);
    if (!d->local) d->OpenLocal();

    QString localWhy;
    bool stored = false;
    if (d->local) {
        try {
            d->local->AppendEntry(entry);
            stored = true;
        } catch (const StoreError& e) {
            localWhy = e.text();
        }
    } else {
        localWhy = d->localProblem;
    }

    if (!d->options.shared) {
        if (stored) return {};
        return {RecordResult::State::Failed, localWhy};
    }

    // Local first, then the server: what waits goes before this entry, so the order holds.
    try {
        if (stored) {
            d->Send();
            if (d->shared && d->shared->HasEntry(entry.eventId)) return {};
        } else if (d->ConnectShared()) {
            d->shared->AppendEntry(entry);
            return {RecordResult::State::Recorded,
                    QStringLiteral("A helyi adatbázisba nem került (%1).").arg(localWhy)};
        }
    } catch (const StoreError& e) {
        d->DropShared(e);
        if (!stored) return {RecordResult::State::Failed, localWhy + QStringLiteral("; ") + e.text()};
        return {RecordResult::State::Pending, e.text()};
    }
    if (!stored) return {RecordResult::State::Failed, localWhy + QStringLiteral("; ") + d->sharedProblem};
    return {RecordResult::State::Pending, d->sharedProblem};
}

int SiteRegister::SendPending() {
    if (!d->options.shared) return 0;
    if (!d->local) throw StoreError(StoreError::Kind::Unreachable, d->localProblem);
    if (!d->ConnectShared(true)) throw StoreError(StoreError::Kind::Unreachable, d->sharedProblem);
    return d->Send(true);
}

int SiteRegister::PendingCount() {
    if (!d->local || !d->options.shared) return 0;
    return d->Local()->UnsentCount();
}

std::variant<RegisterOptions, QString> ConfiguredOptions(const std::optional<QString>& commandLine) {
    const QString folder = QString::fromStdString(SettingsFolder());
    const QString base = folder.isEmpty() ? QDir::currentPath() : folder;
    RegisterOptions options;
    options.localPath = QDir(base).filePath(QString::fromLatin1(kLocalDatabaseFile));
    const QString url = ChooseDatabaseUrl(commandLine, qEnvironmentVariable(kDatabaseEnvironment),
                                          DatabaseSettingFromFile(QDir(base).filePath(QString::fromLatin1(kSitesSettingsFile))));
    if (url.isEmpty()) return options;
    auto parsed = ParseDatabaseUrl(url);
    if (auto* why = std::get_if<QString>(&parsed)) return *why;
    options.shared = std::get<PostgresTarget>(parsed);
    return options;
}

}  // namespace orbiqa::sites

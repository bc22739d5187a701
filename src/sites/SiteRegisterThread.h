#pragma once
// The windows' way to the site register: every query and record runs on one thread of its own,
// so that a slow or vanished shared server never holds the windows. The register (and with it
// every database connection) is made on that thread by the first job and lives there until the
// thread ends; Qt Sql connections belong to the thread that opened them.
#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

#include "sites/SiteRegister.h"

namespace orbiqa::sites {

class SiteRegisterThread {
public:
    using Factory = std::function<std::unique_ptr<SiteRegister>()>;
    using Job = std::function<void(SiteRegister&)>;
    /// Gets the error of the job (Hungarian), empty when it succeeded.
    using Done = std::function<void(const QString& error)>;

    /// factory runs on the register's thread, at the first job.
    explicit SiteRegisterThread(Factory factory);
    /// Lets the running job end and the records still queued run (a record the user asked for
    /// is never dropped), drops the queries not started, then ends the thread.
    ~SiteRegisterThread();
    SiteRegisterThread(const SiteRegisterThread&) = delete;
    SiteRegisterThread& operator=(const SiteRegisterThread&) = delete;

    enum class Kind {
        Query,   ///< dropped when the program ends before it starts
        Record,  ///< runs even then
    };

    /// Runs job on the register's thread, after the jobs posted before it; then done on
    /// receiver's thread, unless receiver is gone by then. A StoreError or other exception of
    /// the job reaches done as its text. Receivers live on the thread that made this object.
    void Run(QObject* receiver, Job job, Done done, Kind kind = Kind::Query);

    /// The register's thread (tests wait on it).
    QThread& Thread() { return thread_; }

private:
    SiteRegister& Register();

    Factory factory_;
    QThread thread_;
    QObject* context_;                // lives on thread_, where the jobs are delivered
    std::unique_ptr<QObject> home_;   // lives on the creating thread, where results arrive
    std::unique_ptr<SiteRegister> register_;
    std::shared_ptr<std::atomic<bool>> ending_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace orbiqa::sites

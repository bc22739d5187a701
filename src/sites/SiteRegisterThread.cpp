#include "sites/SiteRegisterThread.h"

#include <QLoggingCategory>
#include <QPointer>

namespace orbiqa::sites {

Q_LOGGING_CATEGORY(lcSiteThread, "orbiqa.sites.thread", QtInfoMsg)

SiteRegisterThread::SiteRegisterThread(Factory factory)
    : factory_(std::move(factory)), context_(new QObject), home_(std::make_unique<QObject>()) {
    thread_.setObjectName(QStringLiteral("site register"));
    context_->moveToThread(&thread_);
    // The register and its connections end on their own thread, as it stops.
    QObject::connect(&thread_, &QThread::finished, context_, [this] { register_.reset(); }, Qt::DirectConnection);
    thread_.start();
}

SiteRegisterThread::~SiteRegisterThread() {
    // The queries still queued are skipped, the records run; the thread ends after them.
    ending_->store(true);
    QMetaObject::invokeMethod(context_, [this] { thread_.quit(); }, Qt::QueuedConnection);
    thread_.wait();
    delete context_;
}

SiteRegister& SiteRegisterThread::Register() {
    if (!register_) register_ = factory_();
    return *register_;
}

void SiteRegisterThread::Run(QObject* receiver, Job job, Done done, Kind kind) {
    QPointer<QObject> target(receiver);
    auto ending = ending_;
    QMetaObject::invokeMethod(
        context_,
        [this, target, ending, kind, job = std::move(job), done = std::move(done)] {
            if (kind == Kind::Query && ending->load()) return;
            QString error;
            try {
                try {
                    job(Register());
                } catch (const StoreError& e) {
                    // A shared server that went away after it was reached leaves its connection
                    // behind, and the register would keep reading through it. A query is asked
                    // again of a fresh register, which finds the server gone and reads the local
                    // copy. A record is never repeated.
                    if (kind != Kind::Query || e.kind() != StoreError::Kind::Unreachable || !register_->HasShared())
                        throw;
                    qCInfo(lcSiteThread) << "the shared server went away; the register starts afresh:" << e.text();
                    register_.reset();
                    job(Register());
                }
            } catch (const StoreError& e) {
                error = e.text();
            } catch (const std::exception& e) {
                error = QString::fromUtf8(e.what());
            }
            if (!error.isEmpty()) qCInfo(lcSiteThread) << "site register job failed:" << error;
            if (!done) return;
            // Through an object of the receiver's thread: only there may the receiver be
            // asked whether it still lives.
            QMetaObject::invokeMethod(
                home_.get(),
                [target, done, error] {
                    if (target) done(error);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

}  // namespace orbiqa::sites

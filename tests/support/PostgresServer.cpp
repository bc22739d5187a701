#include "support/PostgresServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QThread>
#include <atomic>
#include <pwd.h>
#include <stdexcept>
#include <unistd.h>

namespace orbiqa::test {

namespace {

const QString kBin = QStringLiteral("/usr/lib/postgresql/15/bin/");
const char* const kServerUser = "postgres";
constexpr int kReadyMs = 30000;

int FreeLoopbackPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

bool IsRoot() { return ::geteuid() == 0; }

QString ConnectionName() {
    static std::atomic<int> n{0};
    return QStringLiteral("pg-fixture-%1").arg(++n);
}

}  // namespace

QString PostgresServer::Unavailable() {
    if (!QFile::exists(kBin + QStringLiteral("initdb")) || !QFile::exists(kBin + QStringLiteral("postgres")))
        return QStringLiteral("PostgreSQL 15 is not installed (scripts/install-deps.sh)");
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("Qt's PostgreSQL driver is not installed (libqt6sql6-psql)");
    if (IsRoot() && !::getpwnam(kServerUser))
        return QStringLiteral("running as root and there is no 'postgres' user to run the server as");
    return {};
}

QStringList PostgresServer::AsServerUser(const QString& program, const QStringList& args) const {
    if (!IsRoot()) return QStringList{program} + args;
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(QLatin1String(kServerUser)),
                       QStringLiteral("--regid=%1").arg(QLatin1String(kServerUser)), QStringLiteral("--init-groups"),
                       QStringLiteral("--")} +
           QStringList{program} + args;
}

PostgresServer::PostgresServer() {
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
    data_ = dir_.filePath(QStringLiteral("data"));
    socketFolder_ = dir_.path();
    if (IsRoot()) {
        const passwd* pw = ::getpwnam(kServerUser);
        if (!pw || ::chown(dir_.path().toLocal8Bit().constData(), pw->pw_uid, pw->pw_gid) != 0)
            throw std::runtime_error("cannot hand the folder to the postgres user");
    }
    const QStringList init = AsServerUser(kBin + QStringLiteral("initdb"),
                                          {QStringLiteral("-D"), data_, QStringLiteral("-U"), QString::fromLatin1(kSuperuser),
                                           QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                                           QStringLiteral("--locale=C"), QStringLiteral("--no-sync")});
    QProcess initdb;
    initdb.setProcessChannelMode(QProcess::MergedChannels);
    initdb.start(init.first(), init.mid(1));
    if (!initdb.waitForFinished(120000) || initdb.exitCode() != 0)
        throw std::runtime_error("initdb failed: " + initdb.readAll().toStdString());
    port_ = FreeLoopbackPort();
    Start();
}

PostgresServer::~PostgresServer() {
    if (Running()) Kill();
}

bool PostgresServer::Running() const { return server_ && server_->state() != QProcess::NotRunning; }

void PostgresServer::Start() {
    // After a kill the old server's processes take a moment to notice and leave; until then the
    // new one refuses the data folder. Try again for a while.
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        server_ = std::make_unique<QProcess>();
        server_->setProcessChannelMode(QProcess::MergedChannels);
        const QStringList cmd = AsServerUser(
            kBin + QStringLiteral("postgres"),
            {QStringLiteral("-D"), data_, QStringLiteral("-k"), socketFolder_, QStringLiteral("-p"), QString::number(port_),
             QStringLiteral("-c"), QStringLiteral("listen_addresses=127.0.0.1"), QStringLiteral("-c"),
             QStringLiteral("fsync=off"), QStringLiteral("-c"), QStringLiteral("max_connections=40")});
        server_->start(cmd.first(), cmd.mid(1));
        if (WaitReady(kReadyMs)) return;
        log_ = QString::fromLocal8Bit(server_->readAll());
        server_->kill();
        server_->waitForFinished(5000);
        if (timer.elapsed() > kReadyMs) throw std::runtime_error("the server did not start: " + log_.toStdString());
        QThread::msleep(200);
    }
}

bool PostgresServer::WaitReady(int timeoutMs) const {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (server_->state() == QProcess::NotRunning) return false;
        if (Exec(QStringLiteral("SELECT 1")).isEmpty()) return true;
        server_->waitForReadyRead(100);
    }
    return false;
}

void PostgresServer::Kill() {
    if (!server_) return;
    server_->kill();
    server_->waitForFinished(10000);
}

void PostgresServer::Stop() {
    if (!server_) return;
    server_->terminate();  // SIGTERM: smart shutdown
    if (!server_->waitForFinished(20000)) Kill();
}

QString PostgresServer::Exec(const QString& sql, const QString& database, const QString& user) const {
    const QString name = ConnectionName();
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(socketFolder_);
        db.setPort(port_);
        db.setDatabaseName(database);
        db.setUserName(user);
        db.setConnectOptions(QStringLiteral("connect_timeout=2"));
        if (!db.open()) {
            error = db.lastError().text();
            if (error.isEmpty()) error = QStringLiteral("cannot connect");
        } else {
            QSqlQuery q(db);
            if (!q.exec(sql)) error = q.lastError().text().isEmpty() ? QStringLiteral("failed") : q.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

}  // namespace orbiqa::test

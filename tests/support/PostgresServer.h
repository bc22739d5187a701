#pragma once
// A PostgreSQL 15 server of the tests' own: initdb into a temporary folder, listening on a Unix
// socket in that folder and on a free loopback port. Run as root, the server runs as the
// "postgres" system user (PostgreSQL refuses root); the folder is handed to that user.
// Authentication is "trust": who a connection is matters (grants), not how it proves it.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace orbiqa::test {

class PostgresServer {
public:
    /// Why this machine cannot run the server (no binaries, no user to run it as); empty when it
    /// can. Tests skip with the reason.
    static QString Unavailable();

    /// Makes the cluster and starts the server; throws std::runtime_error with initdb's or the
    /// server's output when it cannot.
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    /// The cluster's superuser (made by initdb).
    static constexpr const char* kSuperuser = "owner";

    QString SocketFolder() const { return socketFolder_; }
    int Port() const { return port_; }

    /// Starts the server (again); waits until it takes connections.
    void Start();
    /// Kills the server at once (SIGKILL), as a crash or a pulled cable would end it.
    void Kill();
    /// Stops the server cleanly.
    void Stop();
    bool Running() const;

    /// Runs SQL as user in database (as the superuser in "postgres" by default); returns the
    /// error text, empty on success.
    QString Exec(const QString& sql, const QString& database = QStringLiteral("postgres"),
                 const QString& user = QString::fromLatin1(kSuperuser)) const;

private:
    QTemporaryDir dir_;
    QString data_;
    QString socketFolder_;
    int port_ = 0;
    std::unique_ptr<QProcess> server_;
    QString log_;

    QStringList AsServerUser(const QString& program, const QStringList& args) const;
    bool WaitReady(int timeoutMs) const;
};

}  // namespace orbiqa::test

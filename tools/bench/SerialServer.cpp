#include "SerialServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/Ser2netServer.h"

namespace orbiqa::bench {

namespace {

constexpr int kPollMs = 10;

}  // namespace

QString PtyLinesShim() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("liborbiqa_ptylines_shim.so"));
}

Ser2netProcess::~Ser2netProcess() {
    Stop();
}

std::vector<QString> Ser2netProcess::Start(const std::vector<QString>& devices) {
    namespace ts = orbiqa::testsupport;
    std::vector<QString> addresses;
    std::vector<ts::Ser2netConnection> connections;
    for (const QString& device : devices) {
        connections.push_back({device.toStdString(), ts::FreeLoopbackPort(), true, "19200n81"});
        addresses.push_back(QStringLiteral("rfc2217://127.0.0.1:%1").arg(connections.back().port));
    }
    const QString config = folder_.filePath(QStringLiteral("ser2net.yaml"));
    std::ofstream(config.toStdString()) << ts::Ser2netConfig(connections);
    QStringList arguments;
    const QString pidFile = folder_.filePath(QStringLiteral("ser2net.pid"));
    for (const std::string& a : ts::Ser2netArguments(config.toStdString(), pidFile.toStdString()))
        arguments << QString::fromStdString(a);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_PRELOAD"), PtyLinesShim());
    process_.setProcessEnvironment(env);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start(QString::fromUtf8(ts::kSer2netProgram), arguments);
    if (!process_.waitForStarted(kStartTimeoutMs))
        throw std::runtime_error("cannot start ser2net (scripts/install-deps.sh installs it)");
    const QDeadlineTimer deadline(kStartTimeoutMs);
    for (const ts::Ser2netConnection& c : connections) {
        const int port = c.port;
        while (ts::SocketsInState(port, "0A") == 0) {
            if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
                throw std::runtime_error("ser2net did not listen on port " + std::to_string(port));
            QThread::msleep(kPollMs);
        }
    }
    return addresses;
}

void Ser2netProcess::Stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(1000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

}  // namespace orbiqa::bench

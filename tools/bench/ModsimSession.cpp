#include "ModsimSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>

#include <stdexcept>

#include "portdevice/SystemSerialDevice.h"

namespace orbiqa::bench {

QString ModsimProgram() {
    const QString dir = qEnvironmentVariableIsEmpty("ORBIQA_BIN_DIR") ? QCoreApplication::applicationDirPath()
                                                                       : qEnvironmentVariable("ORBIQA_BIN_DIR");
    return QDir(dir).filePath(QStringLiteral("orbiqa-modsim"));
}

ModsimProcess::~ModsimProcess() { Stop(); }

QString ModsimProcess::Start(const QStringList& args) {
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(ModsimProgram(), args);
    if (!process_.waitForStarted(kStartTimeoutMs))
        throw std::runtime_error("cannot start " + ModsimProgram().toStdString() + ": " +
                                 process_.errorString().toStdString());
    static const QRegularExpression startLine(QStringLiteral("^orbiqa-modsim: (COM\\d+) -> "));
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!process_.canReadLine()) {
        if (process_.state() == QProcess::NotRunning || deadline.hasExpired() ||
            !process_.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            throw std::runtime_error("orbiqa-modsim did not start: " +
                                     QString::fromLocal8Bit(process_.readAllStandardError()).toStdString());
    }
    const QString line = QString::fromLocal8Bit(process_.readLine()).trimmed();
    const auto match = startLine.match(line);
    if (!match.hasMatch()) throw std::runtime_error("unexpected start line: " + line.toStdString());
    comName_ = match.captured(1);
    return comName_;
}

void ModsimProcess::Stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(1000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

TransferSession::TransferSession(const QString& comName, int tickMs)
    : ModuleSession(CreateSystemSerialDevice(), tickMs), engine_(Channel(), image_, Wait()) {
    Open(comName.toStdString());
}

}  // namespace orbiqa::bench

#include "ModsimSession.h"

#include "portdevice/SystemSerialDevice.h"

namespace orbiqa::bench {

QString ModsimProgram() { return QString::fromStdString(testsupport::ModsimProgram()); }

QString ModsimProcess::Start(const QStringList& args) {
    std::vector<std::string> arguments;
    for (const QString& a : args) arguments.push_back(a.toStdString());
    return QString::fromStdString(StartOrThrow(std::move(arguments)));
}

TransferSession::TransferSession(const QString& comName, int tickMs)
    : ModuleSession(CreateSystemSerialDevice(), tickMs), engine_(Channel(), image_, Wait()) {
    Open(comName.toStdString());
}

}  // namespace orbiqa::bench

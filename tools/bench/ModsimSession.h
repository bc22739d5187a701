#pragma once
// A simulated module on a pseudo-terminal and the program's real link to it: orbiqa-modsim as a
// child process, and the module session over the system's serial device with the transfer
// engine over a 1088-byte image. Used by the benchmark and by the end-to-end tests; needs a
// QCoreApplication.
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

#include "support/ModsimProcess.h"
#include "transfer/ModuleSession.h"
#include "transfer/TransferEngine.h"

namespace orbiqa::bench {

/// The simulator program: $ORBIQA_BIN_DIR/orbiqa-modsim, else the one beside this program.
QString ModsimProgram();

/// The tests' simulator launcher, started with Qt's strings.
class ModsimProcess : public testsupport::ModsimProcess {
public:
    /// Starts the simulator with args and waits for its start line "orbiqa-modsim: COMn -> ...".
    /// Returns the COM name; throws std::runtime_error (with its standard error) when it fails.
    QString Start(const QStringList& args);
};

/// The program's side: the module session opened on comName, with an engine over its own
/// image. tickMs is the waiter's tick.
class TransferSession : public ModuleSession {
public:
    explicit TransferSession(const QString& comName, int tickMs = kWaitTickMs);

    TransferEngine& Engine() { return engine_; }
    std::array<std::uint8_t, kParameterImageSize>& Image() { return image_; }

private:
    std::array<std::uint8_t, kParameterImageSize> image_{};
    TransferEngine engine_;
};

}  // namespace orbiqa::bench

#pragma once
// What the command line needs of its console: whether stderr is a terminal, text in UTF-8, and
// interrupts (Ctrl+C, a closed terminal or console window) turned into a call on the Qt thread.
#include <QObject>
#include <functional>
#include <memory>

namespace orbiqa {
class TComPort;
}

namespace orbiqa::cli {

/// Open ports that an interrupt wakes at once: a write waiting for room in a module that stopped
/// reading would otherwise hold the command (and the interrupt) for its whole time bound. The
/// console's interrupt handler calls InterruptOpenPorts; it is safe in a signal handler.
void RegisterInterruptiblePort(TComPort* port);
void UnregisterInterruptiblePort(TComPort* port);
void InterruptOpenPorts() noexcept;

/// Sets the console up for UTF-8 output where the system needs telling; call once at start.
void PrepareConsole();

bool StderrIsTerminal();

/// Whether standard output is a pipe whose reader has gone (`orbiqa-cli status | head -1`):
/// the output was taken as far as it was wanted, which is no error.
bool StdoutReaderGone();

/// SIGINT, SIGTERM, SIGHUP and SIGPIPE (on Windows: the console's control events, Ctrl+C and
/// Ctrl+Break as SIGINT, closing, log-off and shut-down as SIGTERM) turned into a call on the Qt
/// thread while it lives.
class InterruptWatch : public QObject {
public:
    InterruptWatch();
    ~InterruptWatch() override;
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    std::function<void(int signal)> onInterrupt;

private:
    std::unique_ptr<QObject> watcher_;
};

}  // namespace orbiqa::cli

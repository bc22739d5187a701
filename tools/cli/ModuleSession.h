#pragma once
// The module link of one command: the serial port opened on a COM name, the hand-over pump,
// the Qt waiter and the transfer channel, all the program's own. Closing the port on every way
// out matters: a port left with its exclusive-use flag set stays busy for the next program.
#include <functional>
#include <memory>
#include <string>

#include "CommandLine.h"
#include "Console.h"
#include "link/ModuleLink.h"
#include "link/QtHandoverPump.h"
#include "transfer/ModuleChannel.h"
#include "transfer/QtFlagWaiter.h"

namespace orbiqa::cli {

class ModuleSession {
public:
    /// Opens the port; CliFailure(kExitPort) with the reason when it cannot be opened. An
    /// interrupt closes the port and ends the program with 128 + the signal, unless the command
    /// sets its own handler with OnInterrupt.
    explicit ModuleSession(const std::string& comName);
    ~ModuleSession();
    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;

    const std::string& PortName() const { return portName_; }
    ModuleLink& Link() { return link_; }
    ModuleChannel& Channel() { return channel_; }
    QtFlagWaiter& Waiter() { return waiter_; }

    void OnInterrupt(std::function<void(int signal)> handler) {
        interrupts_.onInterrupt = std::move(handler);
    }

    bool DeviceLost() const { return deviceLost_; }
    /// CliFailure(kExitPort) when the device went away while open (an unplugged adapter).
    void CheckDevice() const;
    /// Closes the port; errors are ignored, as nothing is left to do about them.
    void Close() noexcept;

private:
    std::string portName_;
    ModuleLink link_;
    QtHandoverPump pump_;
    QtFlagWaiter waiter_;
    ModuleLinkChannel channel_;
    InterruptWatch interrupts_;
    bool deviceLost_ = false;
};

/// "cannot open COMn (/dev/...): reason" for an error of opening the port.
std::string OpenFailureText(const std::string& comName, int errorCode, int systemCode);

}  // namespace orbiqa::cli

#pragma once
// The module session: the one place where the link to the module is put together, on Qt Core
// only, for the window, the command line and the benchmarks alike. It holds the module link over
// a device, the pump that carries the port's hand-overs onto this thread, the flag waiter whose
// ticks count a reply's time-out down, and the transfer channel over the link. A session lives
// on the thread that made it, which must run Qt events (a nested wait does).
#include <memory>
#include <string>

#include "link/ModuleLink.h"
#include "link/QtHandoverPump.h"
#include "transfer/ModuleChannel.h"
#include "transfer/QtFlagWaiter.h"
#include "transfer/TransferEngine.h"

namespace orbiqa {

class ModuleSession {
public:
    /// The link over device, not yet open. tickMs is the waiter's tick: tests that run
    /// time-outs out quickly shorten it, programs keep the default.
    explicit ModuleSession(std::unique_ptr<SerialDevice> device, int tickMs = kWaitTickMs);
    /// Closes the port first: its event thread calls into the pump, which goes after it.
    ~ModuleSession();
    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;

    /// Sets the port's name and opens it; EComPort when it cannot be opened.
    void Open(const std::string& comName);
    /// Closes the port; errors are ignored, as nothing is left to do about them.
    void Close() noexcept;

    ModuleLink& Link() { return link_; }
    TComPort& Port() { return link_.ComPort1(); }
    ModuleChannel& Channel() { return channel_; }
    QtFlagWaiter& Waiter() { return waiter_; }
    /// True once the device has gone away while open, as the port's event thread saw it.
    bool DeviceLost() const { return channel_.DeviceLost(); }

    /// WaitForFlag of the waiter: nested event processing until the flag is set, the ticks
    /// have run out or abandoned() turns true.
    void WaitForFlag(const std::uint8_t& flag, int ticks, const WaitAbandoned& abandoned = {}) {
        waiter_.WaitForFlag(flag, ticks, abandoned);
    }
    /// The wait as the engine takes it; valid while the session lives.
    WaitForFlagFunction Wait() { return waiter_.Function(); }

private:
    ModuleLink link_;
    QtHandoverPump pump_;
    QtFlagWaiter waiter_;
    ModuleLinkChannel channel_;
};

}  // namespace orbiqa

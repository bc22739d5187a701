#include <array>
#include <atomic>

#include "Console.h"
#include "link/ComPort.h"

namespace orbiqa::cli {

namespace {

// Lock-free slots, since a signal handler may read them while a session registers.
constexpr std::size_t kInterruptSlots = 128;
std::array<std::atomic<TComPort*>, kInterruptSlots> gOpenPorts{};

}  // namespace

void RegisterInterruptiblePort(TComPort* port) {
    for (auto& slot : gOpenPorts) {
        TComPort* empty = nullptr;
        if (slot.compare_exchange_strong(empty, port)) return;
    }
}

void UnregisterInterruptiblePort(TComPort* port) {
    for (auto& slot : gOpenPorts) {
        TComPort* expected = port;
        slot.compare_exchange_strong(expected, nullptr);
    }
}

void InterruptOpenPorts() noexcept {
    for (auto& slot : gOpenPorts)
        if (TComPort* port = slot.load()) port->Interrupt();
}

}  // namespace orbiqa::cli

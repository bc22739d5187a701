#include "transfer/ModuleSession.h"

namespace orbiqa {

ModuleSession::ModuleSession(std::unique_ptr<SerialDevice> device, int tickMs)
    : link_(std::move(device)), pump_(link_.ComPort1()), waiter_(nullptr, tickMs), channel_(link_) {}

ModuleSession::~ModuleSession() { Close(); }

void ModuleSession::Open(const std::string& comName) {
    link_.ComPort1().SetPort(comName);
    link_.ComPort1().SetConnected(true);
}

void ModuleSession::Close() noexcept {
    try {
        link_.ComPort1().SetConnected(false);
    } catch (...) {
        // The port object closes the device when it is destroyed in any case.
    }
}

}  // namespace orbiqa

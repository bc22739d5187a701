#include "ModuleSession.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/PortLinks.h"
#include "platform/SystemSerialDevice.h"

namespace orbiqa::cli {

std::string OpenFailureText(const std::string& comName, int errorCode, int systemCode) {
    const std::string device = ResolvePortDevice(comName).value_or(std::string());
    std::string text =
        "cannot open " + comName + (device.empty() ? std::string() : " (" + device + ")") + ": ";
    if (errorCode != CError_OpenFailed) text += ComPortErrorText(errorCode) + ": ";
    text += systemCode > 0 ? SystemErrorText(systemCode) : "unknown error";
    if (IsPermissionDenied(systemCode) && !device.empty()) {
        const std::string group = DeviceGroupName(device);
        if (!group.empty()) text += " (members of the group '" + group + "' may use it)";
    }
    return text;
}

ModuleSession::ModuleSession(const std::string& comName)
    : portName_(comName),
      link_(CreateSystemSerialDevice()),
      pump_(link_.ComPort1()),
      channel_(link_) {
    TComPort& port = link_.ComPort1();
    port.SetPort(comName);
    port.OnDeviceLost = [this](TComPort&) { deviceLost_ = true; };
    interrupts_.onInterrupt = [this](int signal) {
        Close();
        std::cout.flush();
        // At a terminal the progress bar or the echoed ^C holds the line.
        if (StderrIsTerminal()) std::cerr << '\n';
        std::cerr << "orbiqa-cli: interrupted\n";
        std::cerr.flush();
        std::_Exit(128 + signal);
    };
    try {
        port.SetConnected(true);
    } catch (const EComPort& e) {
        throw CliFailure(kExitPort, OpenFailureText(comName, e.ErrorCode(), e.SystemCode()));
    }
}

ModuleSession::~ModuleSession() {
    Close();
}

void ModuleSession::CheckDevice() const {
    if (deviceLost_) throw CliFailure(kExitPort, portName_ + ": the device went away");
}

void ModuleSession::Close() noexcept {
    try {
        link_.ComPort1().SetConnected(false);
    } catch (...) {
        // The port object closes the device when it is destroyed in any case.
    }
}

}  // namespace orbiqa::cli

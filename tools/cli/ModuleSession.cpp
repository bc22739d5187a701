#include "ModuleSession.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/PortLinks.h"
#include "platform/SystemSerialDevice.h"

namespace orbiqa::cli {

namespace {

constexpr std::array<int, 4> kWatchedSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
int gInterruptPipe[2] = {-1, -1};
std::array<struct sigaction, kWatchedSignals.size()> gPreviousActions{};

void SignalArrived(int signal) {
    const auto byte = static_cast<unsigned char>(signal);
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(gInterruptPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

InterruptWatch::InterruptWatch() {
    // Without the pipe, signals keep their ordinary effect, which ends the program as before.
    if (::pipe2(gInterruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(gInterruptPipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        int signal = 0;
        while (::read(gInterruptPipe[0], &byte, 1) == 1) signal = byte;
        if (signal != 0 && onInterrupt) onInterrupt(signal);
    });
    struct sigaction action {};
    action.sa_handler = SignalArrived;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kWatchedSignals.size(); ++i)
        ::sigaction(kWatchedSignals[i], &action, &gPreviousActions[i]);
}

InterruptWatch::~InterruptWatch() {
    if (!notifier_) return;
    for (std::size_t i = 0; i < kWatchedSignals.size(); ++i)
        ::sigaction(kWatchedSignals[i], &gPreviousActions[i], nullptr);
    notifier_.reset();
    ::close(gInterruptPipe[0]);
    ::close(gInterruptPipe[1]);
    gInterruptPipe[0] = gInterruptPipe[1] = -1;
}

std::string OpenFailureText(const std::string& comName, int errorCode, int systemCode) {
    const std::string device = ResolvePortDevice(comName).value_or(std::string());
    std::string text =
        "cannot open " + comName + (device.empty() ? std::string() : " (" + device + ")") + ": ";
    if (errorCode != CError_OpenFailed) text += ComPortErrorText(errorCode) + ": ";
    text += systemCode > 0 ? std::strerror(systemCode) : "unknown error";
    if (systemCode == EACCES && !device.empty()) {
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
        if (::isatty(STDERR_FILENO) == 1) std::cerr << '\n';
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

#include "link/EComPort.h"

#include <array>
#include <cstdio>

#include "netport/NetworkPortError.h"
#include "serial/PortName.h"

namespace orbiqa {
namespace {

constexpr std::array<const char*, 23> kTexts = {
    "",
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set SyncMethod while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
};
constexpr const char* kSystemCodeSuffix = " (win error code: %d)";  // string 12023

std::string Message(int errorCode, int systemCode, const std::string& port) {
    std::string text = ComPortErrorText(errorCode);
    // The same text the command line prints for this failure, so that the wording lives in one
    // place; the number would mean nothing to the user.
    if (const std::string network = NetworkPortErrorText(systemCode); !network.empty())
        return text + ": " + (port.empty() ? std::string() : port + ": ") + network;
    if (systemCode != -1) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, kSystemCodeSuffix, systemCode);
        text += suffix;
    }
    return text;
}

}  // namespace

std::string ComPortErrorText(int errorCode) {
    if (errorCode < 1 || errorCode >= static_cast<int>(kTexts.size())) return {};
    return kTexts[static_cast<std::size_t>(errorCode)];
}

EComPort::EComPort(int errorCode, int systemCode, const std::string& port)
    : OrbiqaError(Message(errorCode, systemCode, port)),
      errorCode_(errorCode),
      systemCode_(systemCode) {}

}  // namespace orbiqa

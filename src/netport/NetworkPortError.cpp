#include "netport/NetworkPortError.h"

#include <utility>

#include "netport/TelnetComPort.h"

namespace orbiqa {

namespace {

std::string SettingsRefusedText(unsigned settings) {
    using T = TelnetComPort;
    static const std::pair<unsigned, const char*> kNames[] = {
        {T::kSettingBaudRate, "19200 baud"},  {T::kSettingDataBits, "8 data bits"},
        {T::kSettingParity, "no parity"},      {T::kSettingStopBits, "1 stop bit"},
        {T::kSettingFlowControl, "no flow control"}, {T::kSettingDtr, "DTR on"},
        {T::kSettingRts, "RTS on"}};
    std::string list;
    int count = 0;
    for (const auto& [bit, name] : kNames) {
        if (!(settings & bit)) continue;
        list += (count++ ? ", " : "") + std::string(name);
    }
    return std::string("the server did not take the line setting") + (count > 1 ? "s " : " ") +
           list + " (RFC 2217)";
}

}  // namespace

std::string NetworkPortErrorText(int code) {
    if (code > kNetSettingsRefused && code <= kNetSettingsRefused + 127)
        return SettingsRefusedText(static_cast<unsigned>(code - kNetSettingsRefused));
    switch (code) {
        case kNetNameNotFound:
            return "the host name is not known";
        case kNetResolveTimedOut:
            return "the host name could not be looked up in time";
        case kNetOptionRefused:
            return "the server refused the COM port option (RFC 2217)";
        case kNetNoNegotiation:
            return "the server did not answer the COM port option (RFC 2217) in time";
        case kNetServerClosed:
            return "the server closed the connection at once (its serial device may be missing)";
        case kNetBadAddress:
            return "not a network port address (rfc2217://HOST:PORT, socket://HOST:PORT)";
        case kNetResolveFailed:
            return "the host name could not be looked up";
        default:
            return {};
    }
}

}  // namespace orbiqa

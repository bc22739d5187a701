#pragma once
// The errors a network port adds to the system's own: numbers the system has none for, and
// their texts.
#include <string>

namespace orbiqa {

/// Error numbers of a network port that the system has no number for. They lie far above the
/// system's own numbers so that the port's error can carry them as its system code.
enum NetworkPortError : int {
    kNetErrorBase = 0x4E430000,
    kNetNameNotFound = kNetErrorBase + 1,     // the host name does not resolve
    kNetResolveTimedOut = kNetErrorBase + 2,  // name resolution took too long
    kNetOptionRefused = kNetErrorBase + 3,    // the server refused the COM port option
    kNetNoNegotiation = kNetErrorBase + 4,    // the server did not answer the negotiation
    kNetServerClosed = kNetErrorBase + 5,     // the server closed the connection while it opened
    kNetBadAddress = kNetErrorBase + 6,       // the text is no network port address
    kNetResolveFailed = kNetErrorBase + 7,    // name resolution failed otherwise
    // The server answered line settings with other values than were asked: this number plus
    // the settings' bits (TelnetComPort::Setting), 1..127.
    kNetSettingsRefused = kNetErrorBase + 0x100,
};

/// The error of line settings the server did not take (bits of TelnetComPort::Setting).
inline int SettingsRefusedError(unsigned settings) {
    return kNetSettingsRefused + static_cast<int>(settings & 127u);
}

/// The text of one of the numbers above; empty for any other number.
std::string NetworkPortErrorText(int code);

}  // namespace orbiqa

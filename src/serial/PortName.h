#pragma once
// Network serial ports: "rfc2217://HOST:PORT" (a Telnet connection carrying the line settings
// with the COM port option) and "socket://HOST:PORT" (raw TCP to a server whose line settings
// are fixed). The address is the port's name wherever a COM name is taken.
#include <optional>
#include <string>
#include <string_view>

namespace orbiqa {

struct NetworkPortAddress {
    enum class Protocol { Rfc2217, Raw };
    Protocol protocol = Protocol::Rfc2217;
    std::string host;  // a name, an IPv4 address, or an IPv6 address without its brackets
    int port = 0;      // 1..65535

    /// The canonical text: lower-case scheme, IPv6 hosts in brackets.
    std::string Text() const;
};

/// Parses "rfc2217://HOST:PORT" or "socket://HOST:PORT" (scheme in any case; an IPv6 host in
/// brackets). Empty for anything else, including a missing or out-of-range port, a path or an
/// empty host. An IPv4 address in any of the forms the system's lookup takes as a number
/// ("127.1", "0x7f.0.0.1", "0177.0.0.1", "2130706433") becomes the dotted-decimal address it
/// reaches, so that every message names the address that was reached.
std::optional<NetworkPortAddress> ParseNetworkPort(std::string_view text);

/// Whether the text has the form of a network port (starts with a known scheme), valid or not:
/// such text is never taken for a COM name.
bool LooksLikeNetworkPort(std::string_view text);

}  // namespace orbiqa

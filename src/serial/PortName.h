#pragma once
// The one reader of a port's name, for every place that takes one (the windows, the settings
// file, the command line, the simulator, the system devices):
// - a COM name: "COM" in any case or nothing, then a whole number as StrToInt reads it (leading
//   blanks, a sign, "$" or "0x" for hexadecimal, leading zeros), 1..256: "com7", "7", "COM 7",
//   "COM007", "COM$10". Nothing may follow the number;
// - a network port: "rfc2217://HOST:PORT" (a Telnet connection carrying the line settings with
//   the COM port option) or "socket://HOST:PORT" (raw TCP to a server whose line settings are
//   fixed). The address is the port's name wherever a COM name is taken.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orbiqa {

/// The number of a COM name as described above; empty for anything else, including a network
/// port address and a number outside 1..256.
std::optional<int> ComPortNumberOf(std::string_view text);

/// The number a COM name is written with, before the range is checked: what ComPortNumberOf
/// reads, also when no port can have it ("COM0", "COM300"), for lists that keep such names as
/// the system gave them. Raises EConvertError ("'<number>' is not a valid integer value") when
/// the text after the prefix is no whole number.
std::int32_t ComNameNumber(std::string_view text);

/// "COM<n>", the canonical text of a COM name.
std::string ComPortName(int number);

/// The canonical text of either kind of name ("COM7", "rfc2217://10.0.0.1:2217"); empty when the
/// text is neither. Callers decide what an unreadable name means (the window falls back to COM1,
/// the command line refuses it).
std::optional<std::string> CanonicalPortName(std::string_view text);

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

#include "serial/PortName.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "base/ComPortRange.h"
#include "base/IntText.h"

namespace orbiqa {

namespace {

constexpr std::string_view kRfc2217Scheme = "rfc2217://";
constexpr std::string_view kRawScheme = "socket://";
constexpr int kMaxTcpPort = 65535;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

bool IsHostChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '.' || c == '-' || c == '_';
}

// An IPv4 address as the system's numeric lookup reads it: one to four parts separated by dots,
// each decimal, octal (a leading 0) or hexadecimal (0x); the last part fills the bytes the others
// leave. Empty when the text is no such number, and is then a host name.
std::optional<std::uint32_t> ParseIpv4Number(std::string_view text) {
    std::vector<std::uint64_t> parts;
    std::size_t at = 0;
    for (;;) {
        const std::size_t dot = std::min(text.find('.', at), text.size());
        std::string_view part = text.substr(at, dot - at);
        if (part.empty()) return std::nullopt;
        unsigned base = 10;
        if (part.size() > 1 && part[0] == '0') {
            base = 8;
            part.remove_prefix(1);
            if (part[0] == 'x' || part[0] == 'X') {
                base = 16;
                part.remove_prefix(1);
            }
        }
        std::uint64_t value = 0;
        for (char c : part) {
            const auto u = static_cast<unsigned char>(c);
            unsigned digit = 0;
            if (std::isdigit(u))
                digit = static_cast<unsigned>(c - '0');
            else if (base == 16 && std::isxdigit(u))
                digit = static_cast<unsigned>(std::tolower(u) - 'a' + 10);
            else
                return std::nullopt;
            if (digit >= base) return std::nullopt;
            value = value * base + digit;
            if (value > 0xFFFFFFFFu) return std::nullopt;
        }
        parts.push_back(value);
        if (dot == text.size()) break;
        if (parts.size() == 4) return std::nullopt;
        at = dot + 1;
    }
    std::uint32_t address = 0;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] > 255) return std::nullopt;
        address |= static_cast<std::uint32_t>(parts[i]) << (24 - 8 * i);
    }
    const std::uint64_t lastLimit = 0xFFFFFFFFull >> (8 * (parts.size() - 1));
    if (parts.back() > lastLimit) return std::nullopt;
    return address | static_cast<std::uint32_t>(parts.back());
}

std::string DottedQuad(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 255) + "." +
           std::to_string(address >> 8 & 255) + "." + std::to_string(address & 255);
}

// The part of a COM name that holds its number: all after "COM" in any case, or the whole text.
std::string_view NumberTextOf(std::string_view name) {
    if (StartsWithNoCase(name, "COM")) name.remove_prefix(3);
    return name;
}

}  // namespace

std::optional<int> ComPortNumberOf(std::string_view text) {
    if (LooksLikeNetworkPort(text)) return std::nullopt;
    const std::optional<std::int32_t> n = TryStrToInt(NumberTextOf(text));
    if (!n || !IsComPortNumber(*n)) return std::nullopt;
    return *n;
}

std::int32_t ComNameNumber(std::string_view text) { return StrToInt(NumberTextOf(text)); }

std::string ComPortName(int number) { return "COM" + IntToStr(number); }

std::optional<std::string> CanonicalPortName(std::string_view text) {
    if (const auto address = ParseNetworkPort(text)) return address->Text();
    if (const auto number = ComPortNumberOf(text)) return ComPortName(*number);
    return std::nullopt;
}

std::string NetworkPortAddress::Text() const {
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(protocol == Protocol::Rfc2217 ? kRfc2217Scheme : kRawScheme) +
           (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool LooksLikeNetworkPort(std::string_view text) {
    return StartsWithNoCase(text, kRfc2217Scheme) || StartsWithNoCase(text, kRawScheme);
}

std::optional<NetworkPortAddress> ParseNetworkPort(std::string_view text) {
    NetworkPortAddress a;
    if (StartsWithNoCase(text, kRfc2217Scheme)) {
        text.remove_prefix(kRfc2217Scheme.size());
    } else if (StartsWithNoCase(text, kRawScheme)) {
        a.protocol = NetworkPortAddress::Protocol::Raw;
        text.remove_prefix(kRawScheme.size());
    } else {
        return std::nullopt;
    }
    std::string_view host, port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return std::nullopt;
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
        // Brackets hold an IPv6 address, which always has a colon; "[2]" would be read back as
        // the IPv4 number 2.
        if (host.find(':') == std::string_view::npos ||
            !std::all_of(host.begin(), host.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
            }))
            return std::nullopt;
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string_view::npos) return std::nullopt;
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostChar)) return std::nullopt;
        if (const auto number = ParseIpv4Number(host)) {
            a.host = DottedQuad(*number);
            host = {};
        }
    }
    if (port.empty() || port.size() > 5 ||
        !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    a.port = std::stoi(std::string(port));
    if (a.port < 1 || a.port > kMaxTcpPort) return std::nullopt;
    if (!host.empty()) a.host.assign(host);
    return a;
}

}  // namespace orbiqa

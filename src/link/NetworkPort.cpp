#include "link/NetworkPort.h"

#include <algorithm>
#include <cctype>

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

}  // namespace

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
        if (host.empty() || !std::all_of(host.begin(), host.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
            }))
            return std::nullopt;
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string_view::npos) return std::nullopt;
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostChar)) return std::nullopt;
    }
    if (port.empty() || port.size() > 5 ||
        !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    a.port = std::stoi(std::string(port));
    if (a.port < 1 || a.port > kMaxTcpPort) return std::nullopt;
    a.host.assign(host);
    return a;
}

std::string NetworkPortErrorText(int code) {
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

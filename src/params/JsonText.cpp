#include "params/JsonText.h"

#include <cstdint>
#include <cstdio>

namespace orbiqa {

std::string JsonQuote(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

namespace {

constexpr std::uint32_t kHighSurrogateFirst = 0xD800;
constexpr std::uint32_t kLowSurrogateFirst = 0xDC00;
constexpr std::uint32_t kSurrogateEnd = 0xE000;
constexpr std::size_t kHexDigits = 4;

std::optional<std::uint32_t> Hex4(std::string_view s, std::size_t at) {
    if (at + kHexDigits > s.size()) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = at; i < at + kHexDigits; ++i) {
        const char c = s[i];
        value <<= 4;
        if (c >= '0' && c <= '9')
            value |= static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            value |= static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            value |= static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return std::nullopt;
    }
    return value;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    const auto byte = [&out](std::uint32_t b) { out += static_cast<char>(b); };
    if (cp < 0x80) {
        byte(cp);
    } else if (cp < 0x800) {
        byte(0xC0 | (cp >> 6));
        byte(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        byte(0xE0 | (cp >> 12));
        byte(0x80 | ((cp >> 6) & 0x3F));
        byte(0x80 | (cp & 0x3F));
    } else {
        byte(0xF0 | (cp >> 18));
        byte(0x80 | ((cp >> 12) & 0x3F));
        byte(0x80 | ((cp >> 6) & 0x3F));
        byte(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::optional<std::string> JsonUnquote(std::string_view s) {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
        const char c = s[i];
        if (c == '"' || static_cast<unsigned char>(c) < 0x20) return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i + 1 >= s.size()) return std::nullopt;
        switch (s[i]) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                auto cp = Hex4(s.substr(0, s.size() - 1), i + 1);
                if (!cp) return std::nullopt;
                i += kHexDigits;
                if (*cp >= kHighSurrogateFirst && *cp < kLowSurrogateFirst) {
                    const auto low = i + 2 < s.size() && s[i + 1] == '\\' && s[i + 2] == 'u'
                                         ? Hex4(s.substr(0, s.size() - 1), i + 3)
                                         : std::nullopt;
                    if (!low || *low < kLowSurrogateFirst || *low >= kSurrogateEnd)
                        return std::nullopt;
                    cp =
                        0x10000 + ((*cp - kHighSurrogateFirst) << 10) + (*low - kLowSurrogateFirst);
                    i += 2 + kHexDigits;
                } else if (*cp >= kLowSurrogateFirst && *cp < kSurrogateEnd) {
                    return std::nullopt;
                }
                AppendUtf8(out, *cp);
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

}  // namespace orbiqa

#include "base/IntText.h"

#include <limits>

#include "base/Errors.h"

namespace orbiqa {
namespace {

struct Parsed {
    long long value = 0;
    bool anyDigit = false;
    bool overflow = false;
    std::size_t end = 0;  // index after the last character consumed
};

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v < base ? v : -1;
}

Parsed Parse(std::string_view s) {
    Parsed p;
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1;
    long long magnitude = 0;
    for (; i < s.size(); ++i) {
        const int d = DigitValue(s[i], base);
        if (d < 0) break;
        p.anyDigit = true;
        magnitude = magnitude * base + d;
        if (magnitude > kLimit) {
            p.overflow = true;
            magnitude = kLimit;
        }
    }
    if (!negative && magnitude == kLimit) p.overflow = true;
    p.value = negative ? -magnitude : magnitude;
    p.end = i;
    return p;
}

}  // namespace

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
    const Parsed p = Parse(text);
    if (!p.anyDigit || p.overflow || p.end != text.size()) return std::nullopt;
    return static_cast<std::int32_t>(p.value);
}

std::int32_t StrToInt(std::string_view text) {
    if (auto v = TryStrToInt(text)) return *v;
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

std::int32_t StrToIntPrefix(std::string_view text) {
    const Parsed p = Parse(text);
    if (!p.anyDigit) return 0;
    if (p.value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(p.value);
}

std::string IntToStr(long long value) { return std::to_string(value); }

}  // namespace orbiqa

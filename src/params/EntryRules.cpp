#include "params/EntryRules.h"

#include <algorithm>
#include <charconv>

#include "params/EEAddr.h"

namespace orbiqa {

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
// The load routines skip this byte as an empty place, so a text holding it would lose it.
constexpr unsigned char kEmptyByte = 0xFF;
constexpr long kOctetMax = 255;
constexpr std::size_t kOctets = 4;

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < kFirstPrintable || byte == kDelete;
}

bool IsEmptyByte(char c) {
    return static_cast<unsigned char>(c) == kEmptyByte;
}

bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), IsControl);
}

bool HasEmptyByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), IsEmptyByte);
}

// "˙" is what the byte 0xFF stands for in Windows-1250.
const char* const kEmptyByteRule =
    "no \"\xCB\x99\" (its byte, FF, marks an empty place in the module's memory and is "
    "dropped when read)";

std::string AtMost(std::size_t capacity, std::string_view what) {
    return "at most " + std::to_string(capacity) + " " + std::string(what);
}

}  // namespace

bool IsNumberDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsStoredEventSymbol(char c) {
    return IsNumberDigit(c) || c == '*';
}

bool IsPlainTextChar(char c) {
    return c != ' ' && c != '"';
}

bool IsTextByte(char c) {
    return !IsControl(c) && !IsEmptyByte(c);
}

RuleBreak CheckNumber(std::string_view digits, std::size_t capacity) {
    const std::string rule = "digits 0-9 only, " + AtMost(capacity, "of them");
    if (!std::all_of(digits.begin(), digits.end(), IsNumberDigit) || digits.size() > capacity)
        return rule;
    return std::nullopt;
}

RuleBreak CheckEventCode(std::string_view code) {
    if (code.empty()) return std::nullopt;
    if (code.size() != EEAddr::EventCodeSymbols ||
        !std::all_of(code.begin(), code.end(), IsStoredEventSymbol))
        return "four symbols 0-9 or *, or nothing for no code";
    return std::nullopt;
}

RuleBreak CheckSmsText(std::string_view text) {
    if (text.size() > EEAddr::SmsTextLength) return AtMost(EEAddr::SmsTextLength, "characters");
    if (HasControl(text)) return "no control characters";
    if (HasEmptyByte(text)) return kEmptyByteRule;
    return std::nullopt;
}

RuleBreak CheckPlainText(std::string_view text, std::size_t capacity) {
    if (!std::all_of(text.begin(), text.end(), IsPlainTextChar))
        return "no spaces or double quotes";
    if (text.size() > capacity) return AtMost(capacity, "characters");
    if (HasControl(text)) return "no control characters";
    if (HasEmptyByte(text)) return kEmptyByteRule;
    return std::nullopt;
}

std::optional<long> ParseRangedNumber(std::string_view text, long minimum, long maximum) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), IsNumberDigit)) return std::nullopt;
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

std::optional<std::array<unsigned char, 4>> ParseIPv4(std::string_view text) {
    std::array<unsigned char, kOctets> octets{};
    for (std::size_t i = 0; i < kOctets; ++i) {
        const bool last = i + 1 == kOctets;
        const std::size_t dot = last ? text.size() : text.find('.');
        if (dot == std::string_view::npos) return std::nullopt;
        const auto octet = ParseRangedNumber(text.substr(0, dot), 0, kOctetMax);
        if (!octet) return std::nullopt;
        octets[i] = static_cast<unsigned char>(*octet);
        if (!last) text.remove_prefix(dot + 1);
    }
    return octets;
}

}  // namespace orbiqa

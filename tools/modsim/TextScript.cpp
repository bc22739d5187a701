#include "TextScript.h"

#include <algorithm>

#include "base/Win1250.h"

namespace orbiqa::modsim {
namespace {

constexpr std::size_t kShortTextStart = 11;
constexpr std::size_t kShortTextLength = 4;
constexpr std::size_t kLongTextStart = 2;
constexpr std::size_t kLongTextLength = 13;

std::uint8_t TypeOf(TextChannel channel, bool longForm) {
    switch (channel) {
        case TextChannel::One: return longForm ? kTypeLongText1 : kTypeShortText1;
        case TextChannel::Two: return longForm ? kTypeLongText2 : kTypeShortText2;
        case TextChannel::Three: return longForm ? kTypeLongText3 : kTypeShortText3;
        case TextChannel::Dtmf: break;
    }
    return longForm ? kTypeLongDtmf : kTypeShortDtmf;
}

ScriptStep Step(TextChannel channel, bool longForm, const char* utf8,
                std::optional<std::uint8_t> lineState = std::nullopt,
                std::optional<bool> in1Short = std::nullopt) {
    return {channel, longForm, Utf8ToWin1250(utf8).value_or("?"), lineState, in1Short};
}

}  // namespace

const std::vector<ScriptStep>& DemoScript() {
    using C = TextChannel;
    static const std::vector<ScriptStep> script = {
        Step(C::One, true, "GSM modul indul\r", 0, false),
        Step(C::One, false, "OK\r"),
        Step(C::One, true, "Térerő: jó\r"),
        Step(C::One, true, "Kimenő hívás: 06301234567\r", 2),
        Step(C::Three, true, "CID 1234 18 1130 01 001\r", 3),
        Step(C::Three, false, "Nyugta\r"),
        Step(C::Dtmf, false, "1234#\r"),
        Step(C::One, true, "Hívás vége.\r", 9),
        Step(C::One, true, "IN1 rövidzár\r", std::nullopt, true),
        Step(C::Two, true, "Tűzjelzés SMS elküldve: 06701112233\r", 0),
        Step(C::Two, true, "Bejövő hívás\r", 4),
        Step(C::Two, true, "Hívás folyamatban\r", 5),
        Step(C::Dtmf, true, "5*9#\r"),
        Step(C::One, true, "Hívás vége.\r", 9),
        // Two carriage returns: the log shows an empty line after this one.
        Step(C::One, true, "IN1 nyitva\r\r", std::nullopt, false),
        Step(C::Two, false, "Alaphelyzet\r", 0),
    };
    return script;
}

std::vector<ModuleMessage> TextMessages(TextChannel channel, bool longForm, const std::string& text) {
    const std::size_t start = longForm ? kLongTextStart : kShortTextStart;
    const std::size_t length = longForm ? kLongTextLength : kShortTextLength;
    std::vector<ModuleMessage> messages;
    for (std::size_t at = 0; at < text.size(); at += length) {
        ModuleMessage m{};
        m[0] = kMessageOpen;
        m[1] = TypeOf(channel, longForm);
        const std::size_t n = std::min(length, text.size() - at);
        std::copy_n(text.begin() + static_cast<std::ptrdiff_t>(at), n, m.begin() + static_cast<std::ptrdiff_t>(start));
        m[15] = kMessageClose;
        messages.push_back(m);
    }
    return messages;
}

}  // namespace orbiqa::modsim

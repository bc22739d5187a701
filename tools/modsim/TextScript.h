#pragma once
// The module's text messages: a short demo script of what a module typically reports, and the
// splitting of a text into short (4-byte) or long (13-byte) text messages of a channel.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/ModuleMessage.h"

namespace orbiqa::modsim {

/// The four text channels: 1, 2, 3 and DTMF.
enum class TextChannel { One, Two, Three, Dtmf };

struct ScriptStep {
    TextChannel channel;
    bool longForm;
    std::string text;                       // Windows-1250, with carriage returns
    std::optional<std::uint8_t> lineState;  // the GSM line state this step moves to
    std::optional<bool> in1Short;           // input IN1 changes with this step
};

/// The demo script, played in a loop.
const std::vector<ScriptStep>& DemoScript();

/// The messages that carry the text: short texts in bytes 11..14, long texts in bytes 2..14,
/// unused bytes 0. An empty text gives no message.
std::vector<ModuleMessage> TextMessages(TextChannel channel, bool longForm, const std::string& text);

}  // namespace orbiqa::modsim

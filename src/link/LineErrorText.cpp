#include "link/LineErrorText.h"

#include "base/IntText.h"

namespace orbiqa {

std::string LineErrorText(const LineErrorCounts& counts) {
    // Windows-1250: a-acute 0xE1, e-acute 0xE9, u-acute 0xFA.
    const std::pair<unsigned, const char*> kinds[] = {
        {counts.overrun, "t\xFAlcsordul\xE1s"},
        {counts.queueOverflow, "megtelt bemeneti sor"},
        {counts.framing, "keretez\xE9si hiba"},
        {counts.parity, "parit\xE1shiba"},
        {counts.breaks, "break jel"},
    };
    std::string text;
    for (const auto& [count, name] : kinds) {
        if (count == 0) continue;
        text += text.empty() ? "Vonali hib\xE1k: " : ", ";
        text += std::string(name) + " " + IntToStr(static_cast<int>(count));
    }
    return text;
}

}  // namespace orbiqa

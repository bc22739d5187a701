#include "params/ApnPresets.h"


#include "base/Errors.h"
#include "base/FileStore.h"

namespace orbiqa {

namespace {

// Hungarian Vodafone's public access points: the general one and the one of the Vitamax tariff.
constexpr const char* VodafoneApn = "internet.vodafone.net";
constexpr const char* VodaVitamaxApn = "vitamax.internet.vodafone.net";

// Removes everything up to and including the next quote; false (and s emptied) when none is left.
bool SkipPastQuote(std::string_view& s) {
    const auto quote = s.find('"');
    if (quote == std::string_view::npos) {
        s = {};
        return false;
    }
    s.remove_prefix(quote + 1);
    return true;
}

// The text before the next quote, removed together with that quote; nothing when no quote is left.
std::optional<std::string> TakeUntilQuote(std::string_view& s) {
    const auto quote = s.find('"');
    if (quote == std::string_view::npos) {
        s = {};
        return std::nullopt;
    }
    std::string value(s.substr(0, quote));
    s.remove_prefix(quote + 1);
    return value;
}

}  // namespace

std::string MakeApnPresetLine(std::string_view name, const ApnSettings& values) {
    std::string line(name);
    if (line.size() < ApnPresetNameWidth) line.resize(ApnPresetNameWidth, ' ');
    return line + '"' + values.APN + "\",\"" + values.UserName + "\",\"" + values.PWD + '"';
}

std::vector<std::string> BuiltInApnPresets() {
    // The custom entry's tail is never parsed; it is kept as the module's tools always wrote it.
    std::string custom("Egy\xE9ni be\xE1ll\xEDt\xE1s");
    custom.resize(ApnPresetNameWidth, ' ');
    custom += "\"\",\"\",\"'";
    return {custom,
            MakeApnPresetLine("T-Mobile", {"internet", "", ""}),
            MakeApnPresetLine("Pannon GSM", {"net", "", ""}),
            MakeApnPresetLine("Vodafone", {VodafoneApn, "", ""}),
            MakeApnPresetLine("VodaVitamax", {VodaVitamaxApn, "", ""})};
}

ApnSettings ParseApnPreset(std::string_view line) {
    ApnSettings result;
    std::string_view s = line;
    if (!SkipPastQuote(s)) return result;
    const auto apn = TakeUntilQuote(s);
    if (!apn) return result;
    result.APN = *apn;
    if (!SkipPastQuote(s)) return result;
    const auto user = TakeUntilQuote(s);
    if (!user) return result;
    result.UserName = *user;
    if (!SkipPastQuote(s)) return result;
    if (const auto pwd = TakeUntilQuote(s)) result.PWD = *pwd;
    return result;
}

std::string ApnPresetName(std::string_view line) {
    std::string name(line.substr(0, line.find('"')));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

std::vector<std::string> SplitPresetLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::optional<std::vector<std::string>> LoadApnPresetFile(const std::string& path) {
    try {
        auto lines = SplitPresetLines(ReadFileBounded(path, kMaxApnPresetFileSize, true));
        if (lines.empty()) return std::nullopt;
        return lines;
    } catch (...) {
        // Unreadable in any way: the built-in list stays, and the user is not told.
        return std::nullopt;
    }
}

void SaveApnPresetFile(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    SaveFile(path, text);
}

}  // namespace orbiqa

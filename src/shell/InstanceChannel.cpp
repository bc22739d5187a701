#include "shell/InstanceChannel.h"

#include <cstdint>
#include <cstdio>

namespace orbiqa {
namespace {

// The message starts with a tag, so that a stray writer is not taken for a second start.
constexpr char kTag[] = "orbiqa-open-1";
constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

}  // namespace

std::string EncodeHandOver(const std::vector<std::string>& fileNames) {
    std::string message(kTag, sizeof kTag);  // with its NUL
    for (const std::string& name : fileNames) {
        message += name;
        message += '\0';
    }
    return message;
}

std::optional<std::vector<std::string>> DecodeHandOver(const std::string& message) {
    const std::string tag(kTag, sizeof kTag);
    if (message.compare(0, tag.size(), tag) != 0) return std::nullopt;
    std::vector<std::string> names;
    std::size_t at = tag.size();
    while (at < message.size()) {
        const std::size_t end = message.find('\0', at);
        if (end == std::string::npos) return std::nullopt;  // cut short
        if (end > at) names.push_back(message.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

std::string InstanceChannelName(const std::string& settingsFolder) {
    std::uint64_t hash = kFnvOffset;
    for (const char c : settingsFolder) {
        hash ^= static_cast<unsigned char>(c);
        hash *= kFnvPrime;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("orbiqa-") + text;
}

}  // namespace orbiqa

#include "JsonWriter.h"

#include "JsonText.h"

namespace orbiqa::cli {

namespace {
std::string Joined(const std::vector<std::string>& items, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) text += separator;
        text += items[i];
    }
    return text;
}
}  // namespace

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) {
    members_.push_back(JsonQuote(key) + ": " + std::string(json));
    return *this;
}

JsonObject& JsonObject::Text(std::string_view key, std::string_view utf8) { return Raw(key, JsonQuote(utf8)); }

JsonObject& JsonObject::Bool(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }

JsonObject& JsonObject::Number(std::string_view key, long long value) { return Raw(key, std::to_string(value)); }

JsonObject& JsonObject::NumberOrNull(std::string_view key, const std::optional<int>& value) {
    return value ? Number(key, *value) : Null(key);
}

JsonObject& JsonObject::Null(std::string_view key) { return Raw(key, "null"); }

std::string JsonObject::Line() const { return "{" + Joined(members_, ", ") + "}"; }

std::string JsonObject::Block(std::string_view indent) const {
    if (members_.empty()) return "{\n}";
    const std::string separator = ",\n" + std::string(indent);
    return "{\n" + std::string(indent) + Joined(members_, separator) + "\n}";
}

std::string JsonArray(const std::vector<std::string>& items, std::string_view separator) {
    return "[" + Joined(items, separator) + "]";
}

std::string JsonLinesArray(const std::vector<std::string>& items, std::string_view indent,
                           std::string_view closeIndent) {
    if (items.empty()) return "[]";
    const std::string separator = ",\n" + std::string(indent);
    return "[\n" + std::string(indent) + Joined(items, separator) + "\n" + std::string(closeIndent) + "]";
}

}  // namespace orbiqa::cli

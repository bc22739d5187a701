#pragma once
// The one writer of every --json output: objects whose members keep the order they were given
// in, and arrays on one line or one item a line. Strings are quoted by JsonQuote; the layout is
// fixed, so that scripts and the tests can compare outputs byte for byte.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orbiqa::cli {

class JsonObject {
public:
    JsonObject& Text(std::string_view key, std::string_view utf8);
    JsonObject& Bool(std::string_view key, bool value);
    JsonObject& Number(std::string_view key, long long value);
    /// The number, or null when there is none.
    JsonObject& NumberOrNull(std::string_view key, const std::optional<int>& value);
    JsonObject& Null(std::string_view key);
    /// A value written as JSON already: a nested object or array, or a number in a fixed form.
    JsonObject& Raw(std::string_view key, std::string_view json);

    /// On one line: {"a": 1, "b": "x"}; {} when empty.
    std::string Line() const;
    /// One member a line, each after indent, each brace on a line of its own: {\n  "a": 1\n}.
    std::string Block(std::string_view indent) const;

private:
    std::vector<std::string> members_;
};

/// The items between brackets, separated by separator: [a, b].
std::string JsonArray(const std::vector<std::string>& items, std::string_view separator = ", ");
/// One item a line after indent, the closing bracket after closeIndent on a line of its own;
/// [] when there is no item.
std::string JsonLinesArray(const std::vector<std::string>& items, std::string_view indent,
                           std::string_view closeIndent);

}  // namespace orbiqa::cli

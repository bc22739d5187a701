#pragma once
// JSON string literals: the texts of a parameter set's text form, and the command line's --json
// output (a text with quotes, tabs or line breaks stays on one unambiguous line).
#include <optional>
#include <string>
#include <string_view>

namespace orbiqa {

/// The UTF-8 text as a JSON string literal, quotes included: '"' and '\' are escaped, control
/// characters become \b \f \n \r \t or \u00XX; every other byte passes unchanged.
std::string JsonQuote(std::string_view utf8);

/// The text of a JSON string literal (quotes included, nothing after them): every escape of
/// JsonQuote and \/ and \uXXXX (surrogate pairs joined) undone. Nothing when it is malformed.
std::optional<std::string> JsonUnquote(std::string_view literal);

}  // namespace orbiqa

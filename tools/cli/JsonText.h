#pragma once
// JSON string literals for the command line's --json output (and for quoting texts in its
// plain output, so a text with quotes, tabs or line breaks stays on one unambiguous line).
#include <string>
#include <string_view>

namespace orbiqa::cli {

/// The UTF-8 text as a JSON string literal, quotes included: '"' and '\' are escaped, control
/// characters become \b \f \n \r \t or \u00XX; every other byte passes unchanged.
std::string JsonQuote(std::string_view utf8);

}  // namespace orbiqa::cli

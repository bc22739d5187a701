#pragma once
// Integer text conversion shared by every place that reads a number typed by a user or stored in
// a file: leading blanks, an optional sign, then decimal digits, or hexadecimal digits after "$"
// or "0x". Callers choose whether trailing characters are an error or end the number.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orbiqa {

/// Whole-text conversion: the number must be followed by nothing. Returns nothing when the text
/// is empty, holds no digits, has anything after the digits, or exceeds the 32-bit signed range.
std::optional<std::int32_t> TryStrToInt(std::string_view text);

/// Whole-text conversion that raises EConvertError "'<text>' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);

/// Prefix conversion: reading stops at the first character that does not fit and the value read
/// up to there counts; an empty or non-numeric text gives 0. Values saturate at the 32-bit range.
std::int32_t StrToIntPrefix(std::string_view text);

/// Decimal text of a number, without leading zeros.
std::string IntToStr(long long value);

}  // namespace orbiqa

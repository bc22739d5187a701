#pragma once
// The entry rules of the parameter editor as whole-value checks, for everything that sets a field
// from text rather than keystrokes (the command line's set, import and provision). The editor's
// grids take the same character classes from here. Texts are Windows-1250, as the image holds
// them. Each check returns the rule a value breaks, worded for the person who typed it, or
// nothing when the value passes.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orbiqa {

/// "0".."9": what a number grid's cell takes.
bool IsNumberDigit(char c);
/// What an event code stores: a digit or "*" (the grids also take "A".."F", which store nothing).
bool IsStoredEventSymbol(char c);
/// A character a plain text (APN, user name, password) keeps: anything but a space and a
/// double quote, which the store removes.
bool IsPlainTextChar(char c);
/// A byte any text field (SMS text, APN, user name, password) can hold: not a control character
/// (DEL included) and not 0xFF ("˙"), which the load skips.
bool IsTextByte(char c);

using RuleBreak = std::optional<std::string>;

/// Digits only, at most `capacity` (16 or 8); empty is an empty number.
RuleBreak CheckNumber(std::string_view digits, std::size_t capacity);
/// Exactly four symbols 0-9 or "*", or empty for "no code".
RuleBreak CheckEventCode(std::string_view code);
/// At most 40 characters, no control characters (DEL included) and no byte 0xFF ("˙"), which
/// the load skips.
RuleBreak CheckSmsText(std::string_view text);
/// At most `capacity` characters, no spaces, double quotes, control characters or 0xFF.
RuleBreak CheckPlainText(std::string_view text, std::size_t capacity);
/// A decimal whole number from minimum to maximum; the value when it passes.
std::optional<long> ParseRangedNumber(std::string_view text, long minimum, long maximum);
/// "a.b.c.d": four decimal octets 0..255.
std::optional<std::array<unsigned char, 4>> ParseIPv4(std::string_view text);

}  // namespace orbiqa

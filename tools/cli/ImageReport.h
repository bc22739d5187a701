#pragma once
// Every field of a parameter image decoded by name, as the editor would show it, for "show"
// and "diff". Names are the memory map's; values are UTF-8. No Qt here.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "params/EntryRules.h"
#include "params/ParameterImage.h"

namespace orbiqa::cli {

enum class ValueKind {
    Digits,  ///< a telephone number or prefix: the digits, possibly none
    Code,  ///< an event code: four symbols "0".."9" or "*" ("?" for one the editor shows blank), or
           ///< none
    Text,  ///< an SMS or GPRS text
    Number,    ///< decimal
    Flag,      ///< "on" or "off"
    Receiver,  ///< "a.b.c.d:port"
    Bytes,     ///< raw bytes no field covers, as hexadecimal pairs (diff only)
};

struct FieldValue {
    std::string name;
    ValueKind kind;
    std::string text;  ///< the value, unquoted

    bool operator==(const FieldValue&) const = default;
};

/// The fields in a fixed order: numbers and prefixes, restriction, event codes each followed by
/// its SMS text, Bell 103, GPRS, monitoring.
std::vector<FieldValue> DecodeImage(const ParameterImage& image);

/// The value as plain output shows it: texts quoted and escaped, everything else as it is.
std::string PlainValue(const FieldValue& value);
/// The value as a JSON literal: numbers as numbers, flags as true/false, the rest as strings.
std::string JsonValue(const FieldValue& value);

/// "NAME:" padded, then the plain value; one line per field.
std::string ShowPlain(const std::vector<FieldValue>& fields);
/// One JSON object with a member per field, in the same order.
std::string ShowJson(const std::vector<FieldValue>& fields);

/// Where a field lives in the image.
struct FieldInfo {
    std::string name;
    std::size_t offset;
    std::size_t size;
    ValueKind kind;
};

/// Every field, in the order show prints them.
std::vector<FieldInfo> AllFields();
/// The field of that name (letter case does not matter), or nothing.
std::optional<FieldInfo> FindField(std::string_view name);
/// Whether the field lies in bytes 0..959, the part of the image the module holds.
bool InModuleMemory(const FieldInfo& field);
/// The field's value as show prints it (unquoted), or empty for an unknown name.
std::string FieldValueText(const ParameterImage& image, const std::string& name);
/// Sets a field from a value in show's form (UTF-8, texts unquoted) through the editor's entry
/// rule and store routine. Returns the rule the value breaks (the image is then untouched).
RuleBreak SetFieldValue(ParameterImage& image, const std::string& name, const std::string& utf8);

/// The 64-byte block an image offset belongs to (15 and above lie beyond the module's memory).
std::size_t BlockOf(std::size_t offset);
inline constexpr std::size_t kModuleBlockBytes = 64;

struct FieldDifference {
    FieldValue a, b;
    std::string where;  ///< for byte runs: "block 3", "block 5, in SMS1", "file only"
};

/// The fields whose decoded values differ, in field order, then every other run of differing
/// bytes, named "@FIRST" or "@FIRST-LAST" (decimal offsets): bytes no field covers, and bytes
/// of a field whose value does not show them. Empty exactly when the images are equal.
std::vector<FieldDifference> DiffImages(const ParameterImage& a, const ParameterImage& b);

/// "NAME: a -> b" ("@120-121 (block 1): FF FF -> 00 00"), one line per difference.
std::string DiffPlain(const std::vector<FieldDifference>& differences);
/// {"equal": ..., "differences": [{"field": ..., "a": ..., "b": ...}, ...]}
std::string DiffJson(const std::vector<FieldDifference>& differences);

}  // namespace orbiqa::cli

#pragma once
// Every field of a parameter image decoded by name, as the editor would show it, for "show"
// and "diff". Names are the memory map's; values are UTF-8. No Qt here.
#include <string>
#include <vector>

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

struct FieldDifference {
    FieldValue a, b;
};

/// The fields whose decoded values differ, in field order, then every run of differing bytes
/// that no field covers, named "@FIRST" or "@FIRST-LAST" (decimal offsets).
std::vector<FieldDifference> DiffImages(const ParameterImage& a, const ParameterImage& b);

/// "NAME: a -> b", one line per difference.
std::string DiffPlain(const std::vector<FieldDifference>& differences);
/// {"equal": ..., "differences": [{"field": ..., "a": ..., "b": ...}, ...]}
std::string DiffJson(const std::vector<FieldDifference>& differences);

}  // namespace orbiqa::cli

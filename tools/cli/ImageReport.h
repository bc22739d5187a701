#pragma once
// The fields of a parameter image as the command line prints them (show, get, diff), in lines and
// in JSON, and the lists of its summary lines. The fields themselves and their rules are the parameter library's catalog. No Qt here.
#include <cstddef>
#include <string>
#include <vector>

#include "params/FieldCatalog.h"
#include "params/ImageDifference.h"

namespace orbiqa::cli {

using orbiqa::AllFields;
using orbiqa::BlockOf;
using orbiqa::DecodeImage;
using orbiqa::DiffImages;
using orbiqa::FieldDifference;
using orbiqa::FieldInfo;
using orbiqa::FieldValue;
using orbiqa::FieldValueText;
using orbiqa::FindField;
using orbiqa::InModuleMemory;
using orbiqa::PlainValue;
using orbiqa::SetFieldValue;
using orbiqa::ValueKind;

/// The value as a JSON literal: numbers as numbers, flags as true/false, the rest as strings.
std::string JsonValue(const FieldValue& value);

/// "NAME:" padded, then the plain value; one line per field.
std::string ShowPlain(const std::vector<FieldValue>& fields);
/// One JSON object with a member per field, in the same order.
std::string ShowJson(const std::vector<FieldValue>& fields);

/// "NAME: a -> b" ("@120-121 (block 1): FF FF -> 00 00"), one line per difference.
std::string DiffPlain(const std::vector<FieldDifference>& differences);
/// {"equal": ..., "differences": [{"field": ..., "a": ..., "b": ...}, ...]}
std::string DiffJson(const std::vector<FieldDifference>& differences);

/// How many names a summary line lists before it counts the rest.
inline constexpr std::size_t kSummaryNames = 10;

/// "a, b, c" for a summary line; past `shown` names, the rest are counted ("a, b and 9 more"),
/// so that a batch of thousands still gives a line a person can read.
std::string SummaryList(const std::vector<std::string>& names, std::size_t shown = kSummaryNames);

}  // namespace orbiqa::cli

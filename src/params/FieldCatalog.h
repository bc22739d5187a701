#pragma once
// The field catalog: every field of the parameter image by name, with where it lives and how its
// value is read (through the editor's load routines) and set (through the editor's entry rules
// and store routines). It is the one table of fields in the program: the command line's show,
// get, set, diff and provision, the text form and the transfer window's compare all read it.
// Names are the memory map's; values are UTF-8. No Qt here.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "params/EntryRules.h"
#include "params/ParameterImage.h"

namespace orbiqa {

enum class ValueKind {
    Digits,    ///< a telephone number or prefix: the digits, possibly none
    Code,      ///< an event code: four of "0".."9" and "*" ("?" for a symbol shown blank), or none
    Text,      ///< an SMS or GPRS text
    Number,    ///< decimal
    Flag,      ///< "on" or "off"
    Receiver,  ///< "a.b.c.d:port"
    Bytes,     ///< raw bytes no field covers, as hexadecimal pairs (differences only)
};

struct FieldValue {
    std::string name;
    ValueKind kind;
    std::string text;  ///< the value, unquoted

    bool operator==(const FieldValue&) const = default;
};

/// Where a field lives in the image.
struct FieldInfo {
    std::string name;
    std::size_t offset;
    std::size_t size;    ///< the bytes its value is read from
    std::size_t stored;  ///< the bytes its store writes, from offset (a receiver's two zero bytes)
    ValueKind kind;
};

/// Every field, in a fixed order: numbers and prefixes, restriction, event codes each followed by
/// its SMS text, Bell 103, GPRS, monitoring.
const std::vector<FieldInfo>& AllFields();

/// The pages of the parameter editor, in the order it shows them.
enum class EditorPage { Phone, Sms, CallFilter, Bell103, Gprs, Novik };
/// The page's tab caption (UTF-8).
const std::string& PageCaption(EditorPage page);
/// The heading of the SMS page's event code column; each code is known by its number and it.
const std::string& EventCodeHeading();
/// The caption the editor shows for the field (UTF-8), as the person knows it: the label beside
/// its control without the layout's punctuation (" :"), the title of the group a choice fills,
/// or, for a control without a label of its own, its number and the column's heading
/// ("3. eseménykód"). The editor takes its captions from here. Empty for an unknown name.
std::string FieldCaption(std::string_view name);
/// The page the field is edited on; nothing for an unknown name.
std::optional<EditorPage> FieldPage(std::string_view name);
/// How a list names the field for a person: its caption on one line, followed by its page in
/// parentheses where another field has the same caption ("1. Engedélyezett hívószám (Bell 103)").
/// An unknown name comes back as it is.
std::string FieldTitle(std::string_view name);
/// The field of that name (letter case does not matter), or nothing.
std::optional<FieldInfo> FindField(std::string_view name);
/// Whether the field lies in bytes 0..959, the part of the image the module holds.
bool InModuleMemory(const FieldInfo& field);

/// Every field's value, as the editor would load it.
std::vector<FieldValue> DecodeImage(const ParameterImage& image);
/// The field's value (unquoted), or empty for an unknown name.
std::string FieldValueText(const ParameterImage& image, std::string_view name);
/// Sets a field from a value in the catalog's form (UTF-8, texts unquoted) through the editor's
/// entry rule and store routine. Returns the rule the value breaks; the image is then untouched.
RuleBreak SetFieldValue(ParameterImage& image, std::string_view name, const std::string& utf8);

/// The value as a line of text shows it: texts quoted with JSON escapes, everything else as is.
std::string PlainValue(const FieldValue& value);

/// The 64-byte block an image offset belongs to (15 and above lie beyond the module's memory).
std::size_t BlockOf(std::size_t offset);

struct FieldDifference {
    FieldValue a, b;
    std::string where;  ///< for byte runs: "block 3", "block 5, in SMS1", "file only"
};

/// The fields whose values differ, in field order, then every other run of differing bytes,
/// named "@FIRST" or "@FIRST-LAST" (decimal offsets): bytes no field covers, and bytes of a field
/// whose value does not show them. Empty exactly when the images are equal.
std::vector<FieldDifference> DiffImages(const ParameterImage& a, const ParameterImage& b);

/// The names of the fields whose values differ between the two images, in field order, limited
/// to the module's memory when moduleOnly (what a compare with the module can see).
std::vector<std::string> DifferingFieldNames(const ParameterImage& a, const ParameterImage& b,
                                             bool moduleOnly);

}  // namespace orbiqa

#pragma once
// The field catalog: every field of the parameter image by name, with where it lives and how its
// value is read (through the editor's load routines) and set (through the editor's entry rules
// and store routines). It is the one table of fields in the program: the command line's show,
// get, set, diff and provision, the text form, the editor's controls and the image difference
// all read it.
// Names are the memory map's; values are UTF-8. No Qt here.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "params/EntryRules.h"
#include "params/ImageFields.h"
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

/// The pages of the parameter editor, in the order it shows them.
enum class EditorPage { Phone, Sms, CallFilter, Bell103, Gprs, Novik };

/// How a field's bytes hold its value: the store routine that writes it.
enum class FieldStorage {
    DigitField,      ///< a count byte and digit pairs
    EventCode,       ///< four symbols in two bytes
    SmsText,         ///< a text padded to its full length
    PlainText,       ///< a length byte and the text
    Byte,            ///< a number in one byte
    Word,            ///< a number in two bytes, high byte first
    FlagByte,        ///< a byte of its own, on at 1
    CallFilter,      ///< the call filter's byte: any value but 0 is its second choice
    BellOnlyListed,  ///< one bit of BELLFlags
    BellCallback,    ///< the other bit of BELLFlags
    Receiver,        ///< an address, a port word and two zero bytes
};

/// A field: where it lives in the image, how it is stored, and how the editor shows it.
struct FieldInfo {
    std::string name;
    std::size_t offset;
    std::size_t size;    ///< the bytes its value is read from
    std::size_t stored;  ///< the bytes its store writes, from offset (a receiver's two zero bytes)
    ValueKind kind;
    FieldStorage storage;
    std::size_t capacity;  ///< the digits, code symbols or characters it holds; 0 for the rest
    long maximum;          ///< the largest number (a receiver's port); 0 for the rest
    EditorPage page;
    std::string caption;   ///< as the editor shows it (UTF-8); see FieldCaption
    std::string ruleNote;  ///< added to a number's entry rule, " (0: no limit)"
};

/// Every field, in a fixed order: numbers and prefixes, restriction, event codes each followed by
/// its SMS text, Bell 103, GPRS, monitoring.
const std::vector<FieldInfo>& AllFields();

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
std::string FieldValueText(const ParameterImage& image, const FieldInfo& field);
/// Sets a field from a value in the catalog's form (UTF-8, texts unquoted) through the editor's
/// entry rule and store routine. Returns the rule the value breaks; the image is then untouched.
RuleBreak SetFieldValue(ParameterImage& image, std::string_view name, const std::string& utf8);

// The field's value as the editor's controls hold it, through the same load and store routines
// as the text form. Each pair serves the storages named; a field of another storage is left
// alone (the load gives an empty or zero value).
/// Digit fields and event codes: one cell per digit or symbol.
GridCells LoadFieldCells(const ParameterImage& image, const FieldInfo& field);
void StoreFieldCells(ParameterImage& image, const FieldInfo& field, const GridCells& cells);
/// Texts, in Windows-1250.
std::string LoadFieldText(const ParameterImage& image, const FieldInfo& field);
void StoreFieldText(ParameterImage& image, const FieldInfo& field, const std::string& text);
/// Numbers in a byte or a word.
long LoadFieldNumber(const ParameterImage& image, const FieldInfo& field);
void StoreFieldNumber(ParameterImage& image, const FieldInfo& field, long number);
/// Flags: a flag byte, the call filter's choice, a bit of BELLFlags (the other bit is kept).
bool LoadFieldFlag(const ParameterImage& image, const FieldInfo& field);
void StoreFieldFlag(ParameterImage& image, const FieldInfo& field, bool on);
/// Receivers.
Receiver LoadFieldReceiver(const ParameterImage& image, const FieldInfo& field);
void StoreFieldReceiver(ParameterImage& image, const FieldInfo& field, const Receiver& receiver);

/// The value as a line of text shows it: texts quoted with JSON escapes, everything else as is.
std::string PlainValue(const FieldValue& value);

}  // namespace orbiqa

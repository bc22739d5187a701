#include "params/FieldCatalog.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "base/Win1250.h"
#include "params/EEAddr.h"
#include "params/EntryRules.h"
#include "params/ImageFields.h"
#include "params/JsonText.h"

namespace orbiqa {

namespace {

namespace A = EEAddr;
using S = FieldStorage;
using P = EditorPage;

// A receiver's value is its address and port; the two zero bytes after are written, not read.
constexpr std::size_t kReceiverBytes = 6;
constexpr char kUnknownSymbol = '?';
const std::string kEventCodeHeading = "eseménykód";
const std::string kWin1250Rule = "only characters that Windows-1250 can hold";

/// A field's record; the bytes it reads and writes and its kind follow from its storage.
FieldInfo Field(std::string name, std::size_t offset, FieldStorage storage, EditorPage page,
                std::string caption, std::size_t capacity = 0) {
    FieldInfo f{std::move(name), offset, 1, 1, ValueKind::Flag, storage, capacity, 0, page,
                std::move(caption), {}};
    switch (storage) {
        case S::DigitField: f.kind = ValueKind::Digits; f.size = 1 + capacity; break;
        case S::EventCode:
            f.kind = ValueKind::Code;
            f.size = A::EventCodeSize;
            f.capacity = A::EventCodeSymbols;
            break;
        case S::SmsText:
            f.kind = ValueKind::Text;
            f.size = A::SmsTextSize;
            f.capacity = A::SmsTextLength;
            break;
        case S::PlainText: f.kind = ValueKind::Text; f.size = 1 + capacity; break;
        case S::Byte: f.kind = ValueKind::Number; break;
        case S::Word:
            f.kind = ValueKind::Number;
            f.size = 2;
            f.maximum = A::MonitoringValueMax;
            break;
        case S::Receiver:
            f.kind = ValueKind::Receiver;
            f.size = kReceiverBytes;
            f.maximum = A::MonitoringValueMax;
            break;
        case S::FlagByte: case S::CallFilter: case S::BellOnlyListed: case S::BellCallback: break;
    }
    f.stored = storage == S::Receiver ? A::ReceiverSize : f.size;
    return f;
}

std::string Numbered(std::size_t n, const std::string& text) {
    return std::to_string(n) + ". " + text;
}

/// The one table of fields, in the catalog's order.
std::vector<FieldInfo> MakeFields() {
    const std::size_t Long = A::LongNumberDigits;
    const std::size_t Short = A::ShortNumberDigits;
    const std::string enabledNumber = "Engedélyezett hívószám";
    std::vector<FieldInfo> f = {
        Field("AUTODIAL", A::AUTODIAL, S::DigitField, P::Phone, "Automatikus tárcsázás (#AUTO)", Long),
        Field("SMSFW1", A::SMSFW1, S::DigitField, P::Phone, "SMS továbbítás 1.  (#SMSFW1)", Long),
        Field("SMSFW2", A::SMSFW2, S::DigitField, P::Phone, "SMS továbbítás 2.  (#SMSFW2)", Long),
        Field("USER1", A::USER1, S::DigitField, P::Phone, "1. Felhasználó  (#USER1)", Long),
        Field("USER2", A::USER2, S::DigitField, P::Phone, "2. Felhasználó  (#USER2)", Long),
        Field("NETPREFIX", A::NETPREFIX, S::DigitField, P::Phone,
              "Külső vonal eléréséhez használt prefix szám (#PREFIX)", Short),
        Field("ADDFIX", A::ADDFIX, S::DigitField, P::Phone,
              "GSM módban hívott telefonszám elé hozzáadandó prefix (#ADDFIX)", Short),
    };
    for (std::size_t n = 1; n <= A::PhnrEnabled.size(); ++n)
        f.push_back(Field("PhnrEnabled" + std::to_string(n), A::PhnrEnabled[n - 1], S::DigitField,
                          P::CallFilter, Numbered(n, enabledNumber), Long));
    f.push_back(Field("CallFilter", A::CallFilter, S::CallFilter, P::CallFilter,
                      "Bejövő beszédhívás korlátozása"));
    f.push_back(Field("CallMax", A::CallMax, S::Byte, P::CallFilter,
                      "Bejövő hívás idejének korlátozása (0-25 perc)"));
    f.back().maximum = A::CallMaxLimit;
    f.back().ruleNote = " (0: no limit)";
    for (std::size_t n = 1; n <= A::EventCount; ++n) {
        f.push_back(Field("Event" + std::to_string(n), A::Event(n), S::EventCode, P::Sms,
                          Numbered(n, kEventCodeHeading)));
        f.push_back(Field("SMS" + std::to_string(n), A::SMS(n), S::SmsText, P::Sms,
                          Numbered(n, "SMS üzenet szövege")));
    }
    f.push_back(Field("BELLPhnrEnabled1", A::BELLPhnrEnabled1, S::DigitField, P::Bell103,
                      Numbered(1, enabledNumber), Long));
    f.push_back(Field("BELLPhnrEnabled2", A::BELLPhnrEnabled2, S::DigitField, P::Bell103,
                      Numbered(2, enabledNumber), Long));
    f.push_back(Field("BELLOnlyListedNumbers", A::BELLFlags, S::BellOnlyListed, P::Bell103,
                      "\"Bell 103\"  GSM adathívás fogadása"));
    f.push_back(Field("BELLCallback", A::BELLFlags, S::BellCallback, P::Bell103,
                      "BELL103 visszahívás engedélyezése"));
    f.push_back(Field("VoiceCaller", A::VoiceCaller, S::FlagByte, P::Phone,
                      "Beszédhívó illesztése (tárcsázás és kapcsolás között hangjelzést ad)"));
    f.push_back(Field("APN", A::APN, S::PlainText, P::Gprs, "APN", A::ApnCapacity));
    f.push_back(Field("UserName", A::UserName, S::PlainText, P::Gprs, "Azonosító", A::UserNameCapacity));
    f.push_back(Field("PWD", A::PWD, S::PlainText, P::Gprs, "Jelszó", A::PwdCapacity));
    f.push_back(Field("GPRSmode", A::GPRSmode, S::FlagByte, P::Gprs, "GPRS mode engedélyezése"));
    f.push_back(Field("PanelID", A::PanelID, S::Word, P::Novik, "Sorozatszám"));
    for (std::size_t n = 1; n <= A::ReceiverCount; ++n)
        f.push_back(Field("Receiver" + std::to_string(n), A::IP(n), S::Receiver, P::Novik,
                          Numbered(n, "IP cím")));
    f.push_back(Field("ServerID", A::ServerID, S::Word, P::Novik, "Távfelügyelet azonosító"));
    return f;
}

std::size_t ReceiverNumber(const FieldInfo& field) {
    return (field.offset - A::IP1) / A::ReceiverSize + 1;
}

GridCells CellsOf(const std::string& symbols) {
    GridCells cells;
    for (const char c : symbols) cells.emplace_back(1, c);
    return cells;
}

std::string OnOff(bool on) {
    return on ? "on" : "off";
}

std::optional<bool> ParseOnOff(const std::string& value) {
    if (value == "on" || value == "true" || value == "1") return true;
    if (value == "off" || value == "false" || value == "0") return false;
    return std::nullopt;
}

std::string RangeRule(long maximum) {
    return "a whole number from 0 to " + std::to_string(maximum);
}

std::string CodeText(const GridCells& cells) {
    if (std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return c == " "; }))
        return {};
    std::string code;
    for (const auto& cell : cells) code += cell == " " ? std::string(1, kUnknownSymbol) : cell;
    return code;
}

std::string ReceiverText(const Receiver& r) {
    return std::to_string(r.address[0]) + "." + std::to_string(r.address[1]) + "." +
           std::to_string(r.address[2]) + "." + std::to_string(r.address[3]) + ":" +
           std::to_string(r.port);
}

RuleBreak SetReceiver(ParameterImage& image, const FieldInfo& field, const std::string& value) {
    const std::string rule = "an IPv4 address and a port 0.." + std::to_string(field.maximum) +
                             ", as 192.168.1.20:9000";
    const auto colon = value.rfind(':');
    if (colon == std::string::npos) return rule;
    const auto address = ParseIPv4(std::string_view(value).substr(0, colon));
    const auto port = ParseRangedNumber(std::string_view(value).substr(colon + 1), 0, field.maximum);
    if (!address || !port) return rule;
    Receiver receiver;
    std::copy(address->begin(), address->end(), receiver.address.begin());
    receiver.port = static_cast<std::uint16_t>(*port);
    StoreFieldReceiver(image, field, receiver);
    return std::nullopt;
}

/// Checks a value against the field's entry rule and, only when it passes, stores it.
RuleBreak SetValue(ParameterImage& image, const FieldInfo& field, const std::string& value) {
    switch (field.kind) {
        case ValueKind::Digits:
        case ValueKind::Code: {
            const RuleBreak rule = field.kind == ValueKind::Digits
                                       ? CheckNumber(value, field.capacity)
                                       : CheckEventCode(value);
            if (rule) return rule;
            StoreFieldCells(image, field, CellsOf(value));
            return std::nullopt;
        }
        case ValueKind::Text: {
            // Windows-1250 first, then the field's own rule.
            const auto text = Utf8ToWin1250(value);
            if (!text) return kWin1250Rule;
            const RuleBreak rule = field.storage == S::SmsText
                                       ? CheckSmsText(*text)
                                       : CheckPlainText(*text, field.capacity);
            if (rule) return rule;
            StoreFieldText(image, field, *text);
            return std::nullopt;
        }
        case ValueKind::Number: {
            const auto number = ParseRangedNumber(value, 0, field.maximum);
            if (!number) return RangeRule(field.maximum) + field.ruleNote;
            StoreFieldNumber(image, field, *number);
            return std::nullopt;
        }
        case ValueKind::Flag: {
            const auto on = ParseOnOff(value);
            if (!on) return "on or off";
            StoreFieldFlag(image, field, *on);
            return std::nullopt;
        }
        case ValueKind::Receiver: return SetReceiver(image, field, value);
        case ValueKind::Bytes: break;
    }
    return "no such field";
}

const FieldInfo* FindDef(std::string_view name) {
    const auto same = [&](const FieldInfo& d) {
        return d.name.size() == name.size() &&
               std::equal(d.name.begin(), d.name.end(), name.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    const auto it = std::find_if(AllFields().begin(), AllFields().end(), same);
    return it == AllFields().end() ? nullptr : &*it;
}

// Runs of blanks become one space: a caption laid out over two lines or with wide gaps reads as
// one line in a list.
std::string OneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
        if (blank && (line.empty() || line.back() == ' ')) continue;
        line += blank ? ' ' : c;
    }
    if (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

}  // namespace

const std::vector<FieldInfo>& AllFields() {
    static const std::vector<FieldInfo> fields = MakeFields();
    return fields;
}

GridCells LoadFieldCells(const ParameterImage& image, const FieldInfo& field) {
    GridCells cells;
    if (field.storage == S::DigitField) LoadDigitField(image, field.offset, cells, field.capacity);
    if (field.storage == S::EventCode) LoadEventCode(image, field.offset, cells);
    return cells;
}

void StoreFieldCells(ParameterImage& image, const FieldInfo& field, const GridCells& cells) {
    if (field.storage == S::DigitField) StoreDigitField(image, field.offset, cells, field.capacity);
    if (field.storage == S::EventCode) StoreEventCode(image, field.offset, cells);
}

std::string LoadFieldText(const ParameterImage& image, const FieldInfo& field) {
    if (field.storage == S::SmsText) return LoadSmsText(image, field.offset);
    if (field.storage == S::PlainText) return LoadPlainText(image, field.offset, field.capacity);
    return {};
}

void StoreFieldText(ParameterImage& image, const FieldInfo& field, const std::string& text) {
    if (field.storage == S::SmsText) StoreSmsText(image, field.offset, text);
    if (field.storage == S::PlainText) StorePlainText(image, field.offset, text, field.capacity);
}

long LoadFieldNumber(const ParameterImage& image, const FieldInfo& field) {
    if (field.storage == S::Byte) return image[field.offset];
    if (field.storage == S::Word) return LoadWord(image, field.offset);
    return 0;
}

void StoreFieldNumber(ParameterImage& image, const FieldInfo& field, long number) {
    if (field.storage == S::Byte) image[field.offset] = static_cast<std::uint8_t>(number);
    if (field.storage == S::Word) StoreWord(image, field.offset, static_cast<std::uint16_t>(number));
}

bool LoadFieldFlag(const ParameterImage& image, const FieldInfo& field) {
    switch (field.storage) {
        case S::FlagByte: return LoadFlag(image, field.offset);
        case S::CallFilter: return LoadCallFilter(image);
        case S::BellOnlyListed: return LoadBellFlags(image).onlyListedNumbers;
        case S::BellCallback: return LoadBellFlags(image).callback;
        default: return false;
    }
}

void StoreFieldFlag(ParameterImage& image, const FieldInfo& field, bool on) {
    // A bit of BELLFlags keeps the other, as a store of the editor with only that control
    // changed would.
    BellFlags bell = LoadBellFlags(image);
    switch (field.storage) {
        case S::FlagByte: StoreFlag(image, field.offset, on); break;
        case S::CallFilter: StoreCallFilter(image, on); break;
        case S::BellOnlyListed: bell.onlyListedNumbers = on; StoreBellFlags(image, bell); break;
        case S::BellCallback: bell.callback = on; StoreBellFlags(image, bell); break;
        default: break;
    }
}

Receiver LoadFieldReceiver(const ParameterImage& image, const FieldInfo& field) {
    return field.storage == S::Receiver ? LoadReceiver(image, ReceiverNumber(field)) : Receiver{};
}

void StoreFieldReceiver(ParameterImage& image, const FieldInfo& field, const Receiver& receiver) {
    if (field.storage == S::Receiver) StoreReceiver(image, ReceiverNumber(field), receiver);
}

std::string FieldValueText(const ParameterImage& image, const FieldInfo& field) {
    switch (field.kind) {
        case ValueKind::Digits: {
            std::string digits;
            // a cell the editor shows empty adds nothing
            for (const auto& cell : LoadFieldCells(image, field)) digits += cell;
            return digits;
        }
        case ValueKind::Code: return CodeText(LoadFieldCells(image, field));
        case ValueKind::Text: return Win1250ToUtf8(LoadFieldText(image, field));
        case ValueKind::Number: return std::to_string(LoadFieldNumber(image, field));
        case ValueKind::Flag: return OnOff(LoadFieldFlag(image, field));
        case ValueKind::Receiver: return ReceiverText(LoadFieldReceiver(image, field));
        case ValueKind::Bytes: break;
    }
    return {};
}

std::vector<FieldValue> DecodeImage(const ParameterImage& image) {
    std::vector<FieldValue> values;
    for (const auto& field : AllFields())
        values.push_back({field.name, field.kind, FieldValueText(image, field)});
    return values;
}

std::string PlainValue(const FieldValue& value) {
    return value.kind == ValueKind::Text ? JsonQuote(value.text) : value.text;
}

std::optional<FieldInfo> FindField(std::string_view name) {
    const FieldInfo* d = FindDef(name);
    if (!d) return std::nullopt;
    return *d;
}

const std::string& PageCaption(EditorPage page) {
    static const std::string captions[] = {"Telefonszámok", "SMS szövegek", "Híváskorlátozás",
                                           "Bell 103",      "GPRS",         "NOVIK"};
    return captions[static_cast<std::size_t>(page)];
}

const std::string& EventCodeHeading() {
    return kEventCodeHeading;
}

std::string FieldCaption(std::string_view name) {
    const FieldInfo* d = FindDef(name);
    return d ? d->caption : std::string();
}

std::optional<EditorPage> FieldPage(std::string_view name) {
    const FieldInfo* d = FindDef(name);
    if (!d) return std::nullopt;
    return d->page;
}

std::string FieldTitle(std::string_view name) {
    const FieldInfo* d = FindDef(name);
    if (!d) return std::string(name);
    const std::string title = OneLine(d->caption);
    const bool shared = std::any_of(AllFields().begin(), AllFields().end(), [&](const FieldInfo& other) {
        return &other != d && OneLine(other.caption) == title;
    });
    return shared ? title + " (" + PageCaption(d->page) + ")" : title;
}

bool InModuleMemory(const FieldInfo& field) {
    return field.offset + field.stored <= EEAddr::ModuleMemorySize;
}

std::string FieldValueText(const ParameterImage& image, std::string_view name) {
    const FieldInfo* d = FindDef(name);
    return d ? FieldValueText(image, *d) : std::string();
}

RuleBreak SetFieldValue(ParameterImage& image, std::string_view name, const std::string& utf8) {
    const FieldInfo* d = FindDef(name);
    if (!d) return "no such field";
    // Each rule is checked before the store: a refusal leaves the image alone.
    return SetValue(image, *d, utf8);
}

}  // namespace orbiqa

#include "params/FieldCatalog.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <tuple>

#include "base/Win1250.h"
#include "params/EEAddr.h"
#include "params/EntryRules.h"
#include "params/ImageFields.h"
#include "params/JsonText.h"

namespace orbiqa {

namespace {

namespace A = EEAddr;

// A receiver's value is its address and port; the two zero bytes after are written, not read.
constexpr std::size_t kReceiverBytes = 6;
constexpr char kUnknownSymbol = '?';

using Decoder = std::function<std::string(const ParameterImage&)>;
/// Checks a value against the field's entry rule and, only when it passes, stores it.
using Encoder = std::function<RuleBreak(ParameterImage&, const std::string& utf8)>;

/// A field: its name, the bytes its value is read from, how it reads them and how it is set.
struct FieldDef {
    std::string name;
    std::size_t offset;
    std::size_t size;
    ValueKind kind;
    Decoder decode;
    Encoder encode;
    std::size_t stored = size;
};

const std::string kWin1250Rule = "only characters that Windows-1250 can hold";

GridCells CellsOf(const std::string& symbols) {
    GridCells cells;
    for (const char c : symbols) cells.emplace_back(1, c);
    return cells;
}

Encoder DigitsEncoder(std::size_t offset, std::size_t capacity) {
    return [=](ParameterImage& im, const std::string& value) -> RuleBreak {
        if (auto rule = CheckNumber(value, capacity)) return rule;
        StoreDigitField(im, offset, CellsOf(value), capacity);
        return std::nullopt;
    };
}

/// Texts: Windows-1250 first, then the field's own rule, then its store routine.
Encoder TextEncoder(std::function<RuleBreak(const std::string&)> check,
                    std::function<void(ParameterImage&, const std::string&)> store) {
    return [=](ParameterImage& im, const std::string& value) -> RuleBreak {
        const auto text = Utf8ToWin1250(value);
        if (!text) return kWin1250Rule;
        if (auto rule = check(*text)) return rule;
        store(im, *text);
        return std::nullopt;
    };
}

std::optional<bool> ParseOnOff(const std::string& value) {
    if (value == "on" || value == "true" || value == "1") return true;
    if (value == "off" || value == "false" || value == "0") return false;
    return std::nullopt;
}

Encoder OnOffEncoder(std::function<void(ParameterImage&, bool)> store) {
    return [=](ParameterImage& im, const std::string& value) -> RuleBreak {
        const auto on = ParseOnOff(value);
        if (!on) return "on or off";
        store(im, *on);
        return std::nullopt;
    };
}

std::string RangeRule(long maximum) {
    return "a whole number from 0 to " + std::to_string(maximum);
}

Encoder WordEncoder(std::size_t offset) {
    return [=](ParameterImage& im, const std::string& value) -> RuleBreak {
        const auto number = ParseRangedNumber(value, 0, A::MonitoringValueMax);
        if (!number) return RangeRule(A::MonitoringValueMax);
        StoreWord(im, offset, static_cast<std::uint16_t>(*number));
        return std::nullopt;
    };
}

Encoder ReceiverEncoder(std::size_t n) {
    return [=](ParameterImage& im, const std::string& value) -> RuleBreak {
        const std::string rule = "an IPv4 address and a port 0.." +
                                 std::to_string(A::MonitoringValueMax) + ", as 192.168.1.20:9000";
        const auto colon = value.rfind(':');
        if (colon == std::string::npos) return rule;
        const auto address = ParseIPv4(std::string_view(value).substr(0, colon));
        const auto port =
            ParseRangedNumber(std::string_view(value).substr(colon + 1), 0, A::MonitoringValueMax);
        if (!address || !port) return rule;
        Receiver receiver;
        std::copy(address->begin(), address->end(), receiver.address.begin());
        receiver.port = static_cast<std::uint16_t>(*port);
        StoreReceiver(im, n, receiver);
        return std::nullopt;
    };
}

std::string Digits(const ParameterImage& image, std::size_t offset, std::size_t capacity) {
    GridCells cells;
    LoadDigitField(image, offset, cells, capacity);
    std::string digits;
    for (const auto& cell : cells) digits += cell;  // a cell the editor shows empty adds nothing
    return digits;
}

std::string Code(const ParameterImage& image, std::size_t offset) {
    GridCells cells;
    LoadEventCode(image, offset, cells);
    if (std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return c == " "; }))
        return {};
    std::string code;
    for (const auto& cell : cells) code += cell == " " ? std::string(1, kUnknownSymbol) : cell;
    return code;
}

std::string OnOff(bool on) {
    return on ? "on" : "off";
}

std::string ReceiverText(const ParameterImage& image, std::size_t n) {
    const Receiver r = LoadReceiver(image, n);
    return std::to_string(r.address[0]) + "." + std::to_string(r.address[1]) + "." +
           std::to_string(r.address[2]) + "." + std::to_string(r.address[3]) + ":" +
           std::to_string(r.port);
}

void AddDigits(std::vector<FieldDef>& defs, const std::string& name, std::size_t offset,
               std::size_t capacity) {
    defs.push_back({name, offset, 1 + capacity, ValueKind::Digits,
                    [=](const ParameterImage& im) { return Digits(im, offset, capacity); },
                    DigitsEncoder(offset, capacity)});
}

/// A flag byte of its own: on is 1, off is 0, as the editor stores it; only 1 loads as on.
void AddFlag(std::vector<FieldDef>& defs, const std::string& name, std::size_t offset) {
    defs.push_back({name, offset, 1, ValueKind::Flag,
                    [=](const ParameterImage& im) { return OnOff(LoadFlag(im, offset)); },
                    OnOffEncoder([=](ParameterImage& im, bool on) { StoreFlag(im, offset, on); })});
}

/// One of the two bits of BELLFlags: setting one keeps the other, as a store of the editor
/// with only that control changed would.
void AddBellBit(std::vector<FieldDef>& defs, const std::string& name, bool BellFlags::*bit) {
    defs.push_back({name, A::BELLFlags, 1, ValueKind::Flag,
                    [=](const ParameterImage& im) { return OnOff(LoadBellFlags(im).*bit); },
                    OnOffEncoder([=](ParameterImage& im, bool on) {
                        BellFlags flags = LoadBellFlags(im);
                        flags.*bit = on;
                        StoreBellFlags(im, flags);
                    })});
}

void AddText(std::vector<FieldDef>& defs, const std::string& name, std::size_t offset,
             std::size_t capacity) {
    defs.push_back({name, offset, 1 + capacity, ValueKind::Text,
                    [=](const ParameterImage& im) {
                        return Win1250ToUtf8(LoadPlainText(im, offset, capacity));
                    },
                    TextEncoder([=](const std::string& t) { return CheckPlainText(t, capacity); },
                                [=](ParameterImage& im, const std::string& t) {
                                    StorePlainText(im, offset, t, capacity);
                                })});
}

void AddWord(std::vector<FieldDef>& defs, const std::string& name, std::size_t offset) {
    defs.push_back({name, offset, 2, ValueKind::Number,
                    [=](const ParameterImage& im) { return std::to_string(LoadWord(im, offset)); },
                    WordEncoder(offset)});
}

const std::string kEventCodeHeading = "eseménykód";

std::string Numbered(std::size_t n, const std::string& text) {
    return std::to_string(n) + ". " + text;
}

struct CaptionDef {
    EditorPage page;
    std::string caption;  ///< UTF-8, as the editor shows it
};

/// The editor's captions by field name, kept with the fields so that the editor and every list
/// that names a field for a person read the same words.
std::map<std::string, CaptionDef> MakeCaptions() {
    std::vector<std::tuple<std::string, EditorPage, std::string>> captions = {
        {"AUTODIAL", EditorPage::Phone, "Automatikus tárcsázás (#AUTO)"},
        {"SMSFW1", EditorPage::Phone, "SMS továbbítás 1.  (#SMSFW1)"},
        {"SMSFW2", EditorPage::Phone, "SMS továbbítás 2.  (#SMSFW2)"},
        {"USER1", EditorPage::Phone, "1. Felhasználó  (#USER1)"},
        {"USER2", EditorPage::Phone, "2. Felhasználó  (#USER2)"},
        {"NETPREFIX", EditorPage::Phone, "Külső vonal eléréséhez használt prefix szám (#PREFIX)"},
        {"ADDFIX", EditorPage::Phone, "GSM módban hívott telefonszám elé hozzáadandó prefix (#ADDFIX)"},
        {"VoiceCaller", EditorPage::Phone,
         "Beszédhívó illesztése (tárcsázás és kapcsolás között hangjelzést ad)"},
        {"CallFilter", EditorPage::CallFilter, "Bejövő beszédhívás korlátozása"},
        {"CallMax", EditorPage::CallFilter, "Bejövő hívás idejének korlátozása (0-25 perc)"},
        {"BELLOnlyListedNumbers", EditorPage::Bell103, "\"Bell 103\"  GSM adathívás fogadása"},
        {"BELLCallback", EditorPage::Bell103, "BELL103 visszahívás engedélyezése"},
        {"GPRSmode", EditorPage::Gprs, "GPRS mode engedélyezése"},
        {"APN", EditorPage::Gprs, "APN"},
        {"UserName", EditorPage::Gprs, "Azonosító"},
        {"PWD", EditorPage::Gprs, "Jelszó"},
        {"PanelID", EditorPage::Novik, "Sorozatszám"},
        {"ServerID", EditorPage::Novik, "Távfelügyelet azonosító"},
    };
    const std::string enabledNumber = "Engedélyezett hívószám";
    for (std::size_t n = 1; n <= A::PhnrEnabled.size(); ++n)
        captions.emplace_back("PhnrEnabled" + std::to_string(n), EditorPage::CallFilter,
                              Numbered(n, enabledNumber));
    constexpr std::size_t kBellNumbers = 2;  // BELLPhnrEnabled1 and 2
    for (std::size_t n = 1; n <= kBellNumbers; ++n)
        captions.emplace_back("BELLPhnrEnabled" + std::to_string(n), EditorPage::Bell103,
                              Numbered(n, enabledNumber));
    for (std::size_t n = 1; n <= A::EventCount; ++n) {
        captions.emplace_back("Event" + std::to_string(n), EditorPage::Sms,
                              Numbered(n, kEventCodeHeading));
        captions.emplace_back("SMS" + std::to_string(n), EditorPage::Sms,
                              Numbered(n, "SMS üzenet szövege"));
    }
    for (std::size_t n = 1; n <= A::ReceiverCount; ++n)
        captions.emplace_back("Receiver" + std::to_string(n), EditorPage::Novik,
                              Numbered(n, "IP cím"));
    std::map<std::string, CaptionDef> byName;
    for (auto& [name, page, caption] : captions) byName[name] = {page, std::move(caption)};
    return byName;
}

const CaptionDef* CaptionOf(const std::string& name) {
    static const std::map<std::string, CaptionDef> captions = MakeCaptions();
    const auto it = captions.find(name);
    return it == captions.end() ? nullptr : &it->second;
}

std::vector<FieldDef> MakeFields() {
    std::vector<FieldDef> defs;
    AddDigits(defs, "AUTODIAL", A::AUTODIAL, A::LongNumberDigits);
    AddDigits(defs, "SMSFW1", A::SMSFW1, A::LongNumberDigits);
    AddDigits(defs, "SMSFW2", A::SMSFW2, A::LongNumberDigits);
    AddDigits(defs, "USER1", A::USER1, A::LongNumberDigits);
    AddDigits(defs, "USER2", A::USER2, A::LongNumberDigits);
    AddDigits(defs, "NETPREFIX", A::NETPREFIX, A::ShortNumberDigits);
    AddDigits(defs, "ADDFIX", A::ADDFIX, A::ShortNumberDigits);
    for (std::size_t n = 1; n <= A::PhnrEnabled.size(); ++n)
        AddDigits(defs, "PhnrEnabled" + std::to_string(n), A::PhnrEnabled[n - 1],
                  A::LongNumberDigits);
    defs.push_back({"CallFilter", A::CallFilter, 1, ValueKind::Flag,
                    [](const ParameterImage& im) { return OnOff(LoadCallFilter(im)); },
                    OnOffEncoder(StoreCallFilter)});
    defs.push_back({"CallMax", A::CallMax, 1, ValueKind::Number,
                    [](const ParameterImage& im) { return std::to_string(im[A::CallMax]); },
                    [](ParameterImage& im, const std::string& value) -> RuleBreak {
                        const auto minutes = ParseRangedNumber(value, 0, A::CallMaxLimit);
                        if (!minutes) return RangeRule(A::CallMaxLimit) + " (0: no limit)";
                        im[A::CallMax] = static_cast<std::uint8_t>(*minutes);
                        return std::nullopt;
                    }});
    for (std::size_t n = 1; n <= A::EventCount; ++n) {
        const std::size_t event = A::Event(n);
        const std::size_t sms = A::SMS(n);
        defs.push_back({"Event" + std::to_string(n), event, A::EventCodeSize, ValueKind::Code,
                        [=](const ParameterImage& im) { return Code(im, event); },
                        [=](ParameterImage& im, const std::string& value) -> RuleBreak {
                            if (auto rule = CheckEventCode(value)) return rule;
                            StoreEventCode(im, event, CellsOf(value));
                            return std::nullopt;
                        }});
        defs.push_back(
            {"SMS" + std::to_string(n), sms, A::SmsTextSize, ValueKind::Text,
             [=](const ParameterImage& im) { return Win1250ToUtf8(LoadSmsText(im, sms)); },
             TextEncoder(CheckSmsText, [=](ParameterImage& im, const std::string& t) {
                 StoreSmsText(im, sms, t);
             })});
    }
    AddDigits(defs, "BELLPhnrEnabled1", A::BELLPhnrEnabled1, A::LongNumberDigits);
    AddDigits(defs, "BELLPhnrEnabled2", A::BELLPhnrEnabled2, A::LongNumberDigits);
    AddBellBit(defs, "BELLOnlyListedNumbers", &BellFlags::onlyListedNumbers);
    AddBellBit(defs, "BELLCallback", &BellFlags::callback);
    AddFlag(defs, "VoiceCaller", A::VoiceCaller);
    AddText(defs, "APN", A::APN, A::ApnCapacity);
    AddText(defs, "UserName", A::UserName, A::UserNameCapacity);
    AddText(defs, "PWD", A::PWD, A::PwdCapacity);
    AddFlag(defs, "GPRSmode", A::GPRSmode);
    AddWord(defs, "PanelID", A::PanelID);
    for (std::size_t n = 1; n <= A::ReceiverCount; ++n)
        defs.push_back({"Receiver" + std::to_string(n), A::IP(n), kReceiverBytes,
                        ValueKind::Receiver,
                        [=](const ParameterImage& im) { return ReceiverText(im, n); },
                        ReceiverEncoder(n), A::ReceiverSize});
    AddWord(defs, "ServerID", A::ServerID);
    return defs;
}

const std::vector<FieldDef>& Fields() {
    static const std::vector<FieldDef> defs = MakeFields();
    return defs;
}

std::string HexBytes(const ParameterImage& image, std::size_t first, std::size_t last) {
    std::string hex;
    for (std::size_t i = first; i <= last; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", image[i]);
        if (!hex.empty()) hex += ' ';
        hex += pair;
    }
    return hex;
}

const FieldDef* FindDef(std::string_view name) {
    const auto same = [&](const FieldDef& d) {
        return d.name.size() == name.size() &&
               std::equal(d.name.begin(), d.name.end(), name.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    const auto it = std::find_if(Fields().begin(), Fields().end(), same);
    return it == Fields().end() ? nullptr : &*it;
}

}  // namespace

std::vector<FieldValue> DecodeImage(const ParameterImage& image) {
    std::vector<FieldValue> values;
    for (const auto& def : Fields()) values.push_back({def.name, def.kind, def.decode(image)});
    return values;
}

std::string PlainValue(const FieldValue& value) {
    return value.kind == ValueKind::Text ? JsonQuote(value.text) : value.text;
}

const std::vector<FieldInfo>& AllFields() {
    static const std::vector<FieldInfo> infos = [] {
        std::vector<FieldInfo> list;
        for (const auto& d : Fields()) list.push_back({d.name, d.offset, d.size, d.stored, d.kind});
        return list;
    }();
    return infos;
}

std::optional<FieldInfo> FindField(std::string_view name) {
    const FieldDef* d = FindDef(name);
    if (!d) return std::nullopt;
    return FieldInfo{d->name, d->offset, d->size, d->stored, d->kind};
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
    const FieldDef* d = FindDef(name);
    const CaptionDef* c = d ? CaptionOf(d->name) : nullptr;
    return c ? c->caption : std::string();
}

std::optional<EditorPage> FieldPage(std::string_view name) {
    const FieldDef* d = FindDef(name);
    const CaptionDef* c = d ? CaptionOf(d->name) : nullptr;
    if (!c) return std::nullopt;
    return c->page;
}

namespace {

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

std::string FieldTitle(std::string_view name) {
    const FieldDef* d = FindDef(name);
    const CaptionDef* c = d ? CaptionOf(d->name) : nullptr;
    if (!c) return std::string(name);
    const std::string title = OneLine(c->caption);
    const bool shared = std::any_of(Fields().begin(), Fields().end(), [&](const FieldDef& other) {
        return &other != d && OneLine(FieldCaption(other.name)) == title;
    });
    return shared ? title + " (" + PageCaption(c->page) + ")" : title;
}

bool InModuleMemory(const FieldInfo& field) {
    return field.offset + field.stored <= EEAddr::ModuleMemorySize;
}

std::string FieldValueText(const ParameterImage& image, std::string_view name) {
    const FieldDef* d = FindDef(name);
    return d ? d->decode(image) : std::string();
}

RuleBreak SetFieldValue(ParameterImage& image, std::string_view name, const std::string& utf8) {
    const FieldDef* d = FindDef(name);
    if (!d) return "no such field";
    // Encoders check first and store only a value that passes: a refusal leaves the image alone.
    return d->encode(image, utf8);
}

std::vector<std::string> DifferingFieldNames(const ParameterImage& a, const ParameterImage& b,
                                             bool moduleOnly) {
    std::vector<std::string> names;
    for (const auto& def : Fields()) {
        if (moduleOnly && def.offset + def.stored > EEAddr::ModuleMemorySize) continue;
        if (def.decode(a) != def.decode(b)) names.push_back(def.name);
    }
    return names;
}

std::vector<FieldDifference> DiffImages(const ParameterImage& a, const ParameterImage& b) {
    std::vector<FieldDifference> differences;
    // For each byte, the field it belongs to (or none), and whether that field's value differs.
    std::array<const FieldDef*, ParameterImage::Size> owner{};
    std::array<bool, ParameterImage::Size> explained{};
    for (const auto& def : Fields()) {
        FieldValue va{def.name, def.kind, def.decode(a)};
        FieldValue vb{def.name, def.kind, def.decode(b)};
        const bool differs = va != vb;
        for (std::size_t i = def.offset; i < def.offset + def.size; ++i) {
            if (!owner[i]) owner[i] = &def;
            explained[i] = explained[i] || differs;
        }
        if (differs) differences.push_back({std::move(va), std::move(vb), {}});
    }
    // Every other differing byte is listed too, so that two files are equal only when they are
    // byte for byte: bytes no field covers, and bytes a field holds but its value does not show
    // (the filler after an SMS text, unused bits). Runs stay within one block and one field.
    for (std::size_t i = 0; i < ParameterImage::Size;) {
        if (explained[i] || a[i] == b[i]) {
            ++i;
            continue;
        }
        std::size_t last = i;
        while (last + 1 < ParameterImage::Size && !explained[last + 1] &&
               a[last + 1] != b[last + 1] && owner[last + 1] == owner[i] &&
               BlockOf(last + 1) == BlockOf(i))
            ++last;
        const std::string name =
            "@" + std::to_string(i) + (last > i ? "-" + std::to_string(last) : "");
        std::string where = i < EEAddr::ModuleMemorySize ? "block " + std::to_string(BlockOf(i))
                                                         : std::string("file only");
        if (owner[i]) where += ", in " + owner[i]->name;
        differences.push_back({{name, ValueKind::Bytes, HexBytes(a, i, last)},
                               {name, ValueKind::Bytes, HexBytes(b, i, last)},
                               where});
        i = last + 1;
    }
    return differences;
}

std::size_t BlockOf(std::size_t offset) {
    return offset / EEAddr::BlockSize;
}

}  // namespace orbiqa

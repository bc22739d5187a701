#include "ImageReport.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>

#include "JsonText.h"
#include "base/Win1250.h"
#include "params/EEAddr.h"
#include "params/ImageFields.h"

namespace orbiqa::cli {

namespace {

namespace A = EEAddr;

constexpr std::size_t kNameColumn = 23;
constexpr std::size_t kReceiverBytes =
    6;  // address and port; the two zero bytes after are not a field
constexpr char kUnknownSymbol = '?';

/// A field: its name, the bytes its value is read from, and how it reads them.
struct FieldDef {
    std::string name;
    std::size_t offset;
    std::size_t size;
    ValueKind kind;
    std::function<std::string(const ParameterImage&)> decode;
};

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

std::string Receiver(const ParameterImage& image, std::size_t n) {
    const std::size_t ip = A::IP(n);
    return std::to_string(image[ip]) + "." + std::to_string(image[ip + 1]) + "." +
           std::to_string(image[ip + 2]) + "." + std::to_string(image[ip + 3]) + ":" +
           std::to_string(LoadWord(image, A::Port(n)));
}

void AddDigits(std::vector<FieldDef>& defs, const std::string& name, std::size_t offset,
               std::size_t capacity) {
    defs.push_back({name, offset, 1 + capacity, ValueKind::Digits,
                    [=](const ParameterImage& im) { return Digits(im, offset, capacity); }});
}

void AddFlag(std::vector<FieldDef>& defs, const std::string& name, std::size_t offset,
             std::function<bool(std::uint8_t)> on) {
    defs.push_back({name, offset, 1, ValueKind::Flag,
                    [=](const ParameterImage& im) { return OnOff(on(im[offset])); }});
}

void AddText(std::vector<FieldDef>& defs, const std::string& name, std::size_t offset,
             std::size_t capacity) {
    defs.push_back({name, offset, 1 + capacity, ValueKind::Text, [=](const ParameterImage& im) {
                        return Win1250ToUtf8(LoadPlainText(im, offset, capacity));
                    }});
}

void AddWord(std::vector<FieldDef>& defs, const std::string& name, std::size_t offset) {
    defs.push_back({name, offset, 2, ValueKind::Number, [=](const ParameterImage& im) {
                        return std::to_string(LoadWord(im, offset));
                    }});
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
    // The editor's second choice (only the enabled numbers) is taken for any value but 0.
    AddFlag(defs, "CallFilter", A::CallFilter, [](std::uint8_t b) { return b != 0; });
    defs.push_back({"CallMax", A::CallMax, 1, ValueKind::Number,
                    [](const ParameterImage& im) { return std::to_string(im[A::CallMax]); }});
    for (std::size_t n = 1; n <= A::EventCount; ++n) {
        const std::size_t event = A::Event(n);
        const std::size_t sms = A::SMS(n);
        defs.push_back({"Event" + std::to_string(n), event, A::EventCodeSize, ValueKind::Code,
                        [=](const ParameterImage& im) { return Code(im, event); }});
        defs.push_back(
            {"SMS" + std::to_string(n), sms, A::SmsTextSize, ValueKind::Text,
             [=](const ParameterImage& im) { return Win1250ToUtf8(LoadSmsText(im, sms)); }});
    }
    AddDigits(defs, "BELLPhnrEnabled1", A::BELLPhnrEnabled1, A::LongNumberDigits);
    AddDigits(defs, "BELLPhnrEnabled2", A::BELLPhnrEnabled2, A::LongNumberDigits);
    AddFlag(defs, "BELLOnlyListedNumbers", A::BELLFlags,
            [](std::uint8_t b) { return (b & A::BellOnlyListedNumbers) != 0; });
    AddFlag(defs, "BELLCallback", A::BELLFlags,
            [](std::uint8_t b) { return (b & A::BellCallback) != 0; });
    AddFlag(defs, "VoiceCaller", A::VoiceCaller, [](std::uint8_t b) { return b == 1; });
    AddText(defs, "APN", A::APN, A::ApnCapacity);
    AddText(defs, "UserName", A::UserName, A::UserNameCapacity);
    AddText(defs, "PWD", A::PWD, A::PwdCapacity);
    AddFlag(defs, "GPRSmode", A::GPRSmode, [](std::uint8_t b) { return b == 1; });
    AddWord(defs, "PanelID", A::PanelID);
    for (std::size_t n = 1; n <= A::ReceiverCount; ++n)
        defs.push_back({"Receiver" + std::to_string(n), A::IP(n), kReceiverBytes,
                        ValueKind::Receiver,
                        [=](const ParameterImage& im) { return Receiver(im, n); }});
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

}  // namespace

std::vector<FieldValue> DecodeImage(const ParameterImage& image) {
    std::vector<FieldValue> values;
    for (const auto& def : Fields()) values.push_back({def.name, def.kind, def.decode(image)});
    return values;
}

std::string PlainValue(const FieldValue& value) {
    return value.kind == ValueKind::Text ? JsonQuote(value.text) : value.text;
}

std::string JsonValue(const FieldValue& value) {
    switch (value.kind) {
        case ValueKind::Number:
            return value.text;
        case ValueKind::Flag:
            return value.text == "on" ? "true" : "false";
        default:
            return JsonQuote(value.text);
    }
}

std::string ShowPlain(const std::vector<FieldValue>& fields) {
    std::string out;
    for (const auto& f : fields) {
        std::string line = f.name + ":";
        const std::string value = PlainValue(f);
        if (!value.empty())
            line +=
                std::string(kNameColumn > line.size() ? kNameColumn - line.size() : 1, ' ') + value;
        out += line + "\n";
    }
    return out;
}

std::string ShowJson(const std::vector<FieldValue>& fields) {
    std::string out = "{\n";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out += "  " + JsonQuote(fields[i].name) + ": " + JsonValue(fields[i]);
        out += i + 1 < fields.size() ? ",\n" : "\n";
    }
    return out + "}\n";
}

std::vector<FieldDifference> DiffImages(const ParameterImage& a, const ParameterImage& b) {
    std::vector<FieldDifference> differences;
    std::array<bool, ParameterImage::Size> covered{};
    for (const auto& def : Fields()) {
        std::fill_n(covered.begin() + static_cast<std::ptrdiff_t>(def.offset), def.size, true);
        FieldValue va{def.name, def.kind, def.decode(a)};
        FieldValue vb{def.name, def.kind, def.decode(b)};
        if (va != vb) differences.push_back({std::move(va), std::move(vb)});
    }
    // Bytes outside every field still reach the module (or the monitoring tail of the file), so
    // a difference there is a difference too; runs keep the list short.
    for (std::size_t i = 0; i < ParameterImage::Size;) {
        if (covered[i] || a[i] == b[i]) {
            ++i;
            continue;
        }
        std::size_t last = i;
        while (last + 1 < ParameterImage::Size && !covered[last + 1] && a[last + 1] != b[last + 1])
            ++last;
        const std::string name =
            "@" + std::to_string(i) + (last > i ? "-" + std::to_string(last) : "");
        differences.push_back({{name, ValueKind::Bytes, HexBytes(a, i, last)},
                               {name, ValueKind::Bytes, HexBytes(b, i, last)}});
        i = last + 1;
    }
    return differences;
}

std::string DiffPlain(const std::vector<FieldDifference>& differences) {
    // An empty number would leave nothing to read beside the arrow; texts show "" already.
    const auto side = [](const FieldValue& v) {
        return v.text.empty() && v.kind != ValueKind::Text ? std::string("(empty)") : PlainValue(v);
    };
    std::string out;
    for (const auto& d : differences)
        out += d.a.name + ": " + side(d.a) + " -> " + side(d.b) + "\n";
    return out;
}

std::string DiffJson(const std::vector<FieldDifference>& differences) {
    std::string out =
        std::string("{\n  \"equal\": ") + (differences.empty() ? "true" : "false") + ",\n";
    out += "  \"differences\": [";
    for (std::size_t i = 0; i < differences.size(); ++i) {
        const auto& d = differences[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"field\": " + JsonQuote(d.a.name) + ", \"a\": " + JsonValue(d.a) +
               ", \"b\": " + JsonValue(d.b) + "}";
    }
    out += differences.empty() ? "]\n" : "\n  ]\n";
    return out + "}\n";
}

}  // namespace orbiqa::cli

#include "params/ParameterText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "params/FieldCatalog.h"
#include "params/JsonText.h"

namespace orbiqa {

namespace {

constexpr std::size_t kBytesPerLine = 16;
constexpr int kHexBase = 16;
constexpr std::string_view kHeaderRest =
    ": FIELD = value lines, then @OFFSET = bytes for what they do not say\n";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigMark = "\xFE\xFF";

std::string Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(" \t") - first + 1));
}

std::string ByteLine(const ParameterImage& image, std::size_t first, std::size_t last) {
    std::string line = "@" + std::to_string(first) + " =";
    for (std::size_t i = first; i <= last; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, " %02X", image[i]);
        line += pair;
    }
    return line + "\n";
}

[[noreturn]] void Refuse(std::size_t lineNumber, const std::string& message) {
    throw ImportError("line " + std::to_string(lineNumber) + ": " + message);
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Windows editors save "Unicode" text as UTF-16 with a byte order mark.
std::string Utf16ToUtf8(std::string_view bytes, bool little) {
    if (bytes.size() % 2 != 0) throw ImportError("a UTF-16 text with an odd number of bytes");
    std::string out;
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<std::uint8_t>(bytes[i]);
        const auto b = static_cast<std::uint8_t>(bytes[i + 1]);
        return static_cast<std::uint32_t>(little ? a | (b << 8) : (a << 8) | b);
    };
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        std::uint32_t code = unit(i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 3 < bytes.size()) {
            const std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (code >= 0xD800 && code <= 0xDFFF)
            throw ImportError("a UTF-16 text with a broken surrogate pair");
        AppendUtf8(out, code);
    }
    return out;
}

// The text as UTF-8 without a byte order mark.
std::string Utf8Text(std::string_view text) {
    if (text.substr(0, 2) == kUtf16LittleMark) return Utf16ToUtf8(text.substr(2), true);
    if (text.substr(0, 2) == kUtf16BigMark) return Utf16ToUtf8(text.substr(2), false);
    if (text.substr(0, 3) == kUtf8Mark) text.remove_prefix(3);
    // UTF-16 without a mark shows itself by NUL bytes, which no text of ours holds.
    if (text.find('\0') != std::string_view::npos)
        throw ImportError(
            "the text holds NUL bytes: it is not UTF-8 (UTF-16 is read when it starts with its "
            "byte order mark)");
    return std::string(text);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

struct FieldLine {
    FieldInfo field;
    std::string value;
};

void ApplyByteLine(ParameterImage& image, std::vector<bool>& given, const std::string& head,
                   const std::string& rest, std::size_t lineNumber) {
    const auto offset = ParseRangedNumber(std::string_view(head).substr(1), 0,
                                          static_cast<long>(ParameterImage::Size - 1));
    if (!offset) Refuse(lineNumber, "'" + head + "' is not an offset @0..@1087");
    std::size_t at = static_cast<std::size_t>(*offset);
    std::size_t pos = 0;
    bool any = false;
    while ((pos = rest.find_first_not_of(" \t", pos)) != std::string::npos) {
        const std::string pair = rest.substr(pos, 2);
        if (pair.size() != 2 ||
            (pos + 2 < rest.size() && rest[pos + 2] != ' ' && rest[pos + 2] != '\t') ||
            !std::isxdigit(static_cast<unsigned char>(pair[0])) ||
            !std::isxdigit(static_cast<unsigned char>(pair[1])))
            Refuse(lineNumber, "bytes are two hexadecimal digits each, separated by blanks");
        if (at >= ParameterImage::Size) Refuse(lineNumber, "the bytes run past offset 1087");
        given[at] = true;
        image[at++] = static_cast<std::uint8_t>(std::stoi(pair, nullptr, kHexBase));
        pos += 2;
        any = true;
    }
    if (!any) Refuse(lineNumber, head + " gives no bytes");
}

FieldLine ParseFieldLine(const std::string& name, const std::string& rest, std::size_t lineNumber) {
    const auto field = FindField(name);
    if (!field) Refuse(lineNumber, "'" + name + "' is not a field");
    std::string value = rest;
    if (field->kind == ValueKind::Text) {
        const auto text = JsonUnquote(rest);
        if (!text) Refuse(lineNumber, field->name + ": a text is written in double quotes");
        value = *text;
    }
    // Checked on a scratch image: a value that breaks its rule is refused where it stands.
    ParameterImage scratch;
    if (const auto rule = SetFieldValue(scratch, field->name, value))
        Refuse(lineNumber, field->name + ": " + *rule);
    return {*field, value};
}

}  // namespace

bool IsParameterText(std::string_view bytes) {
    if (bytes.substr(0, 3) == kUtf8Mark) bytes.remove_prefix(3);
    if (bytes.substr(0, 2) == kUtf16LittleMark || bytes.substr(0, 2) == kUtf16BigMark) {
        try {
            const std::size_t units =
                std::min<std::size_t>(bytes.size() - 2, 2 * kParameterTextHeader.size());
            return Utf16ToUtf8(bytes.substr(2, units - units % 2), bytes[0] == '\xFF')
                       .rfind(kParameterTextHeader, 0) == 0;
        } catch (const ImportError&) {
            return false;
        }
    }
    return bytes.substr(0, kParameterTextHeader.size()) == kParameterTextHeader;
}

std::string ExportText(const ParameterImage& image) {
    std::string text = std::string(kParameterTextHeader) + std::string(kHeaderRest);
    ParameterImage rebuilt;  // what an import of the field lines alone gives
    std::vector<bool> forced(ParameterImage::Size, false);
    for (const FieldValue& value : DecodeImage(image)) {
        // A stored value the editor could not have written (CallMax 255, a symbol it shows
        // blank) has no settable form: it is noted, and its bytes follow as byte lines, even
        // where they equal an erased image's, so that an import knows the field was given.
        if (const auto rule = SetFieldValue(rebuilt, value.name, value.text)) {
            text += "# " + value.name + " holds " + PlainValue(value) + ", not " + *rule + "\n";
            const auto field = FindField(value.name);
            std::fill_n(forced.begin() + static_cast<std::ptrdiff_t>(field->offset), field->stored,
                        true);
        } else {
            text +=
                value.name + " =" +
                (value.text.empty() && value.kind != ValueKind::Text ? std::string()
                                                                     : " " + PlainValue(value)) +
                "\n";
        }
    }
    // A field whose bytes differ from what its line stores is listed whole, so that an import
    // can tell a value edited in the text (its line wins) from one left as it was (its bytes
    // come back exactly).
    for (const FieldInfo& field : AllFields()) {
        const auto first = static_cast<std::ptrdiff_t>(field.offset);
        const auto last = first + static_cast<std::ptrdiff_t>(field.stored);
        if (!std::equal(image.begin() + first, image.begin() + last, rebuilt.begin() + first))
            std::fill(forced.begin() + first, forced.begin() + last, true);
    }
    const auto listed = [&](std::size_t i) { return forced[i] || rebuilt[i] != image[i]; };
    for (std::size_t i = 0; i < ParameterImage::Size;) {
        if (!listed(i)) {
            ++i;
            continue;
        }
        std::size_t last = i;
        while (last + 1 < ParameterImage::Size && last + 1 < i + kBytesPerLine && listed(last + 1))
            ++last;
        text += ByteLine(image, i, last);
        i = last + 1;
    }
    return text;
}

ParameterImage ImportText(std::string_view raw, ImportNotes* notes) {
    const std::string text = Utf8Text(raw);
    ParameterImage bytes;  // the byte lines over an erased image
    std::vector<bool> given(ParameterImage::Size, false);
    std::vector<FieldLine> fieldLines;
    std::size_t lineNumber = 0;
    for (const std::string_view rawLine : SplitLines(text)) {
        ++lineNumber;
        const std::string line = Trim(rawLine);
        if (line.empty() || line[0] == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            Refuse(lineNumber, "expected FIELD = value or @OFFSET = bytes");
        const std::string head = Trim(std::string_view(line).substr(0, equals));
        const std::string rest = Trim(std::string_view(line).substr(equals + 1));
        if (!head.empty() && head[0] == '@')
            ApplyByteLine(bytes, given, head, rest, lineNumber);
        else
            fieldLines.push_back(ParseFieldLine(head, rest, lineNumber));
    }

    // The field lines alone, in order, over an erased image.
    ParameterImage fields;
    std::vector<bool> stored(ParameterImage::Size, false);
    for (const FieldLine& f : fieldLines) {
        SetFieldValue(fields, f.field.name, f.value);
        std::fill_n(stored.begin() + static_cast<std::ptrdiff_t>(f.field.offset), f.field.stored,
                    true);
    }
    // Byte lines fill what no field line stores, and refine what one does as long as every
    // field keeps the value its line gives.
    ParameterImage image = fields;
    for (std::size_t i = 0; i < ParameterImage::Size; ++i)
        if (given[i]) image[i] = bytes[i];
    for (const FieldLine& f : fieldLines) {
        const std::string now = FieldValueText(image, f.field.name);
        if (now == f.value || now == FieldValueText(fields, f.field.name)) continue;
        std::copy_n(fields.begin() + static_cast<std::ptrdiff_t>(f.field.offset), f.field.stored,
                    image.begin() + static_cast<std::ptrdiff_t>(f.field.offset));
    }

    if (notes) {
        notes->fieldsLeftOut.clear();
        for (const FieldInfo& field : AllFields()) {
            const auto first = static_cast<std::ptrdiff_t>(field.offset);
            const auto last = first + static_cast<std::ptrdiff_t>(field.size);
            const bool byLine = std::any_of(stored.begin() + first, stored.begin() + last,
                                            [](bool b) { return b; });
            const bool byBytes =
                std::any_of(given.begin() + first, given.begin() + last, [](bool b) { return b; });
            if (!byLine && !byBytes) notes->fieldsLeftOut.push_back(field.name);
        }
    }
    return image;
}

}  // namespace orbiqa

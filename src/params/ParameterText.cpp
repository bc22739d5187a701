#include "params/ParameterText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>
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

// Where the bytes stop being UTF-8 (a stray continuation byte, a cut or overlong sequence, a
// surrogate or a code beyond U+10FFFF), or npos when they are UTF-8 throughout.
std::size_t FirstNonUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        std::uint32_t least = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, least = 0x10000;
        } else {
            return i;
        }
        if (i + length > text.size()) return i;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return i;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return i;
        i += length;
    }
    return std::string_view::npos;
}

// The number of the line that holds offset: LF, CR LF and CR each end one line.
std::size_t LineAt(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    return line;
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
    // A text saved in Windows-1250 or another code page would otherwise be refused for its
    // characters, which look wrong rather than being wrong.
    if (const std::size_t bad = FirstNonUtf8(text); bad != std::string_view::npos)
        Refuse(LineAt(text, bad),
               "the text is not UTF-8 (perhaps Windows-1250 or another code page): save it as "
               "UTF-8 in the editor and import it again");
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
    std::size_t lineNumber;
};

// A value as a refusal names it: texts quoted, an empty number or code as "(empty)".
std::string Shown(const FieldInfo& field, const std::string& value) {
    if (value.empty() && field.kind != ValueKind::Text) return "(empty)";
    return PlainValue({field.name, field.kind, value});
}

void ApplyByteLine(ParameterImage& image, std::vector<std::size_t>& givenBy, const std::string& head,
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
        givenBy[at] = lineNumber;
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
    return {*field, value, lineNumber};
}

// Byte lines that give a field the bytes of a value of its own, other than its line gives,
// are two edits of one setting: one of them would be lost, so neither is taken. Bytes that no
// value could have been stored as (the filler and unset bits an export lists for a field, an
// erased module's bytes, a value the editor cannot write) are what an export carried before
// its field line was edited; the line wins over them.
void RefuseContradiction(const FieldLine& f, const ParameterImage& fields, const ParameterImage& image,
                         const std::vector<std::size_t>& givenBy) {
    const std::string byBytes = FieldValueText(image, f.field.name);
    ParameterImage clean = fields;
    if (SetFieldValue(clean, f.field.name, byBytes)) return;
    const auto first = static_cast<std::ptrdiff_t>(f.field.offset);
    const auto last = first + static_cast<std::ptrdiff_t>(f.field.stored);
    if (!std::equal(image.begin() + first, image.begin() + last, clean.begin() + first)) return;

    std::vector<std::size_t> lines;
    std::size_t at = ParameterImage::Size;
    const std::size_t end = f.field.offset + std::max(f.field.size, f.field.stored);
    for (std::size_t i = f.field.offset; i < end && i < ParameterImage::Size; ++i) {
        if (givenBy[i] == 0) continue;
        if (at == ParameterImage::Size) at = i;
        if (std::find(lines.begin(), lines.end(), givenBy[i]) == lines.end()) lines.push_back(givenBy[i]);
    }
    if (lines.empty()) return;
    std::sort(lines.begin(), lines.end());
    std::string also;
    for (std::size_t k = 1; k < lines.size(); ++k) also += (k == 1 ? " (with line " : ", ") + std::to_string(lines[k]);
    if (!also.empty()) also += ")";
    Refuse(lines.front(), "@" + std::to_string(at) + also + " gives " + f.field.name + " the value " +
                              Shown(f.field, byBytes) + ", but line " + std::to_string(f.lineNumber) +
                              " sets it to " + Shown(f.field, f.value) + "; keep only one of the two");
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
    // The line that last gave each byte; 0 where no byte line gives it.
    std::vector<std::size_t> givenBy(ParameterImage::Size, 0);
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
            ApplyByteLine(bytes, givenBy, head, rest, lineNumber);
        else
            fieldLines.push_back(ParseFieldLine(head, rest, lineNumber));
    }
    // A setting given twice would silently keep one of the two.
    std::map<std::string, std::size_t> firstLine;
    for (const FieldLine& f : fieldLines) {
        const auto [earlier, first] = firstLine.emplace(f.field.name, f.lineNumber);
        if (!first)
            Refuse(f.lineNumber, f.field.name + " is set again; line " +
                                     std::to_string(earlier->second) + " sets it already");
    }
    // Without a single field line the text is no parameter set (an empty or cut file, a header
    // alone): importing it would give an erased module's settings and call that a success.
    if (fieldLines.empty())
        throw ImportError("the text sets no field (no FIELD = value line in " + std::to_string(lineNumber) +
                          (lineNumber == 1 ? " line)" : " lines)"));

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
        if (givenBy[i] != 0) image[i] = bytes[i];
    for (const FieldLine& f : fieldLines) {
        const std::string now = FieldValueText(image, f.field.name);
        if (now == f.value || now == FieldValueText(fields, f.field.name)) continue;
        RefuseContradiction(f, fields, image, givenBy);
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
            const bool byBytes = std::any_of(givenBy.begin() + first, givenBy.begin() + last,
                                             [](std::size_t line) { return line != 0; });
            if (!byLine && !byBytes) notes->fieldsLeftOut.push_back(field.name);
        }
    }
    return image;
}

}  // namespace orbiqa

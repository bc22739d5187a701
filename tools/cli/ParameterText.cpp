#include "ParameterText.h"

#include <cctype>
#include <cstdio>
#include <string>

#include "ImageReport.h"
#include "JsonText.h"

namespace orbiqa::cli {

namespace {

constexpr std::size_t kBytesPerLine = 16;
constexpr int kHexBase = 16;
const char* const kHeader =
    "# Orbiqa parameter set: FIELD = value lines, then @OFFSET = bytes for what they do not say\n";

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
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

void ApplyByteLine(ParameterImage& image, const std::string& head, const std::string& rest,
                   std::size_t lineNumber) {
    const auto offset = ParseRangedNumber(head.substr(1), 0, ParameterImage::Size - 1);
    if (!offset) Refuse(lineNumber, "'" + head + "' is not an offset @0..@1087");
    std::size_t at = static_cast<std::size_t>(*offset);
    std::size_t pos = 0;
    bool any = false;
    while ((pos = rest.find_first_not_of(' ', pos)) != std::string::npos) {
        const std::string pair = rest.substr(pos, 2);
        if (pair.size() != 2 || (pos + 2 < rest.size() && rest[pos + 2] != ' ') ||
            !std::isxdigit(static_cast<unsigned char>(pair[0])) ||
            !std::isxdigit(static_cast<unsigned char>(pair[1])))
            Refuse(lineNumber, "bytes are two hexadecimal digits each, separated by blanks");
        if (at >= ParameterImage::Size) Refuse(lineNumber, "the bytes run past offset 1087");
        image[at++] = static_cast<std::uint8_t>(std::stoi(pair, nullptr, kHexBase));
        pos += 2;
        any = true;
    }
    if (!any) Refuse(lineNumber, head + " gives no bytes");
}

void ApplyFieldLine(ParameterImage& image, const std::string& name, const std::string& rest,
                    std::size_t lineNumber) {
    const auto field = FindField(name);
    if (!field) Refuse(lineNumber, "'" + name + "' is not a field");
    std::string value = rest;
    if (field->kind == ValueKind::Text) {
        const auto text = JsonUnquote(rest);
        if (!text) Refuse(lineNumber, field->name + ": a text is written in double quotes");
        value = *text;
    }
    if (const auto rule = SetFieldValue(image, field->name, value))
        Refuse(lineNumber, field->name + ": " + *rule);
}

}  // namespace

std::string ExportText(const ParameterImage& image) {
    std::string text = kHeader;
    ParameterImage rebuilt;  // what an import of the lines so far gives
    for (const FieldValue& value : DecodeImage(image)) {
        // A stored value the editor could not have written (CallMax 255, a symbol it shows
        // blank) has no settable form: it is noted, and its bytes follow as byte lines.
        if (const auto rule = SetFieldValue(rebuilt, value.name, value.text))
            text += "# " + value.name + " holds " + PlainValue(value) + ", not " + *rule + "\n";
        else
            text +=
                value.name + " =" +
                (value.text.empty() && value.kind != ValueKind::Text ? std::string()
                                                                     : " " + PlainValue(value)) +
                "\n";
    }
    for (std::size_t i = 0; i < ParameterImage::Size;) {
        if (rebuilt[i] == image[i]) {
            ++i;
            continue;
        }
        std::size_t last = i;
        while (last + 1 < ParameterImage::Size && last + 1 < i + kBytesPerLine &&
               rebuilt[last + 1] != image[last + 1])
            ++last;
        text += ByteLine(image, i, last);
        i = last + 1;
    }
    return text;
}

ParameterImage ImportText(const std::string& text) {
    ParameterImage image;
    std::size_t lineNumber = 0;
    // Editors on Windows like to start UTF-8 files with a byte order mark.
    const std::string kByteOrderMark = "\xEF\xBB\xBF";
    std::size_t start = text.rfind(kByteOrderMark, 0) == 0 ? kByteOrderMark.size() : 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::string line =
            Trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            Refuse(lineNumber, "expected FIELD = value or @OFFSET = bytes");
        const std::string head = Trim(line.substr(0, equals));
        const std::string rest = Trim(line.substr(equals + 1));
        if (!head.empty() && head[0] == '@')
            ApplyByteLine(image, head, rest, lineNumber);
        else
            ApplyFieldLine(image, head, rest, lineNumber);
    }
    return image;
}

}  // namespace orbiqa::cli

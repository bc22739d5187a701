#include "CsvText.h"

#include <algorithm>

#include "base/Win1250.h"

namespace orbiqa::cli {

namespace {

const std::string kByteOrderMark = "\xEF\xBB\xBF";

bool Blank(const std::vector<std::string>& fields) {
    return fields.size() == 1 && fields[0].empty();
}

bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80           ? 1
                                   : (c >> 5) == 0x06 ? 2
                                   : (c >> 4) == 0x0E ? 3
                                   : (c >> 3) == 0x1E ? 4
                                                      : 0;
        if (length == 0 || i + length > text.size() || (length == 2 && c < 0xC2)) return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

/// The text in UTF-8: a Hungarian spreadsheet saves "CSV" in the Windows code page.
std::string Utf8Of(const std::string& input) {
    if (input.rfind("\xFF\xFE", 0) == 0 || input.rfind("\xFE\xFF", 0) == 0)
        throw CsvError(
            "line 1: a UTF-16 text; save the list as CSV in UTF-8 or the Windows code "
            "page");
    if (input.rfind(kByteOrderMark, 0) == 0) {
        const std::string text = input.substr(kByteOrderMark.size());
        if (!IsUtf8(text)) throw CsvError("line 1: the text is marked as UTF-8 but is not");
        return text;
    }
    if (IsUtf8(input)) return input;
    // Bytes the code page leaves undefined come back as U+FFFD: then it is neither.
    const std::string text = Win1250ToUtf8(input);
    if (text.find("\xEF\xBF\xBD") != std::string::npos)
        throw CsvError("line 1: the text is neither UTF-8 nor Windows-1250");
    return text;
}

/// The separator the first line uses more of, outside quotes: ';' or ','.
char SeparatorOf(const std::string& text) {
    std::size_t commas = 0, semicolons = 0;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '\n' || c == '\r') break;
        commas += c == ',';
        semicolons += c == ';';
    }
    return semicolons > commas ? ';' : ',';
}

}  // namespace

std::vector<CsvRow> ParseCsv(const std::string& input) {
    const std::string text = Utf8Of(input);
    const char separator = SeparatorOf(text);
    std::vector<CsvRow> rows;
    CsvRow row{1, {std::string()}};
    std::size_t line = 1;
    bool quoted = false;      // inside a quoted field
    bool afterQuote = false;  // a quoted field has closed
    const auto endRow = [&] {
        if (!Blank(row.fields)) rows.push_back(row);
        row = {line, {std::string()}};
        afterQuote = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                row.fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
                afterQuote = true;
            } else {
                if (c == '\n') ++line;
                row.fields.back() += c;
            }
            continue;
        }
        if (c == separator) {
            row.fields.emplace_back();
            afterQuote = false;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            ++line;
            endRow();
        } else if (afterQuote) {
            throw CsvError("line " + std::to_string(line) + ": text after a closing quote");
        } else if (c == '"' && row.fields.back().empty()) {
            quoted = true;
        } else {
            row.fields.back() += c;
        }
    }
    if (quoted) throw CsvError("line " + std::to_string(row.line) + ": a quote is never closed");
    endRow();
    return rows;
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& f = fields[i];
        if (i) out += ',';
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            out += f;
            continue;
        }
        out += '"';
        for (const char c : f) out += c == '"' ? std::string("\"\"") : std::string(1, c);
        out += '"';
    }
    return out + "\r\n";
}

}  // namespace orbiqa::cli

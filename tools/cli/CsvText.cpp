#include "CsvText.h"

#include <algorithm>

namespace orbiqa::cli {

namespace {

const std::string kByteOrderMark = "\xEF\xBB\xBF";

bool Blank(const std::vector<std::string>& fields) {
    return fields.size() == 1 && fields[0].empty();
}

}  // namespace

std::vector<CsvRow> ParseCsv(const std::string& input) {
    const std::string text =
        input.rfind(kByteOrderMark, 0) == 0 ? input.substr(kByteOrderMark.size()) : input;
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
        if (c == ',') {
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

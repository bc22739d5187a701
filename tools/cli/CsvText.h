#pragma once
// Comma-separated lists as spreadsheets write them (RFC 4180: double quotes around a field that
// holds a comma, a quote or a line break, "" for a quote inside), for provision's module list and
// report. No Qt here.
#include <stdexcept>
#include <string>
#include <vector>

namespace orbiqa::cli {

class CsvError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CsvRow {
    std::size_t line;  ///< where the row starts, from 1
    std::vector<std::string> fields;
};

/// The rows of a CSV text as spreadsheets save it: fields separated by commas, or by semicolons
/// where the header line has more of those (as a spreadsheet set to a decimal comma saves it);
/// UTF-8 with or without a byte order mark, or Windows-1250 when the text is not UTF-8, the
/// fields returned in UTF-8. Blank lines are skipped; CR LF, LF and CR end a row. Throws CsvError
/// ("line N: ...") for a quote left open, text after a closing quote, or a UTF-16 text.
std::vector<CsvRow> ParseCsv(const std::string& text);

/// One row of fields joined by commas, each quoted when it needs to be, ended by CR LF.
std::string CsvLine(const std::vector<std::string>& fields);

}  // namespace orbiqa::cli

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

/// The rows of a CSV text; a UTF-8 byte order mark and blank lines are skipped, CR LF and LF
/// both end a row. Throws CsvError ("line N: ...") for a quote left open or text after a
/// closing quote.
std::vector<CsvRow> ParseCsv(const std::string& text);

/// One row of fields joined by commas, each quoted when it needs to be, ended by CR LF.
std::string CsvLine(const std::vector<std::string>& fields);

}  // namespace orbiqa::cli

#include "shell/TableFile.h"

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "base/Errors.h"
#include "base/FileStore.h"
#include "base/IntText.h"
#include "ports/RecentNetworkPorts.h"
#include "serial/PortName.h"

namespace orbiqa {

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr char kTab = '\t';
constexpr char kBackspace = '\b';
const char* const kLineEnd = "\r\n";
const char* const kWidthPrefix = "cw";

// Line breaks inside a cell travel as tab (CR) and backspace (LF).
std::string EncodeCell(std::string text) {
    if (text.find(kCR) == std::string::npos) return text;
    for (char& c : text) {
        if (c == kCR) c = kTab;
        else if (c == kLF) c = kBackspace;
    }
    return text;
}

std::string DecodeCell(std::string text) {
    if (text.find(kBackspace) != std::string::npos) {
        for (char& c : text) {
            if (c == kTab) c = kCR;
            else if (c == kBackspace) c = kLF;
        }
        // A cell is single-line: what follows the first line break is dropped. A lone line feed
        // counts too, or the next save would write it raw and split the cell's line in two.
        text.erase(std::min(text.find_first_of("\r\n"), text.size()));
    }
    return text;
}

// CR LF, a lone LF and a lone CR each end a line; an end of file right after a line end does
// not start another (empty) line.
std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == kCR || c == kLF) {
            lines.push_back(std::move(line));
            line.clear();
            if (c == kCR && i + 1 < content.size() && content[i + 1] == kLF) ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

// The text before the first comma, removed from line with its comma; when there is no comma the
// field is empty and the line stays as it is.
std::string TakeField(std::string& line) {
    const auto comma = line.find(',');
    if (comma == std::string::npos) return {};
    std::string field = line.substr(0, comma);
    line.erase(0, comma + 1);
    return field;
}

// "cw " column "," width. The column is the text from the fourth character up to the line's
// first comma (none when that comma comes sooner); the width is the text after that comma.
void ReadWidthLine(TextTable& table, std::string_view line) {
    const auto comma = line.find(',');
    const std::size_t end = std::min(comma, line.size());
    const int column = end > 3 ? StrToIntPrefix(line.substr(3, end - 3)) : 0;
    const int width = comma == std::string_view::npos ? 0 : StrToIntPrefix(line.substr(comma + 1));
    if (column >= 0 && column < table.ColumnCount()) table.SetColumnWidth(column, width);
}

void ReadCellLine(TextTable& table, std::string line) {
    const int column = StrToIntPrefix(TakeField(line));
    const int row = StrToIntPrefix(TakeField(line));
    if (table.Contains(column, row)) table.SetCell(column, row, DecodeCell(std::move(line)));
}

}  // namespace

TextTable::TextTable(int columns, int rows, int columnWidth) : rows_(1), defaultWidth_(columnWidth) {
    Resize(columns, rows);
}

void TextTable::Resize(int columns, int rows) {
    columns = std::clamp(columns, 1, kMaxExtent);
    rows = std::clamp(rows, 1, kMaxExtent);
    widths_.resize(static_cast<std::size_t>(columns), defaultWidth_);
    rows_ = rows;
    std::erase_if(cells_, [&](const auto& cell) { return !Contains(cell.first.second, cell.first.first); });
}

bool TextTable::Contains(int column, int row) const {
    return column >= 0 && column < ColumnCount() && row >= 0 && row < rows_;
}

std::string TextTable::Cell(int column, int row) const {
    const auto it = cells_.find({row, column});
    return it == cells_.end() ? std::string() : it->second;
}

void TextTable::SetCell(int column, int row, std::string text) {
    if (!Contains(column, row)) return;
    if (text.empty())
        cells_.erase({row, column});
    else
        cells_[{row, column}] = std::move(text);
}

void SaveTableFile(const TextTable& table, const std::string& fileName) {
    std::string content = IntToStr(table.ColumnCount()) + ',' + IntToStr(table.RowCount()) + kLineEnd;
    for (int k = 0; k < table.ColumnCount(); ++k)
        content += kWidthPrefix + (' ' + IntToStr(k)) + ',' + IntToStr(table.ColumnWidth(k)) + kLineEnd;
    for (int j = 0; j < table.RowCount(); ++j)
        for (int k = 0; k < table.ColumnCount(); ++k) {
            const std::string text = table.Cell(k, j);
            if (!text.empty()) content += IntToStr(k) + ',' + IntToStr(j) + ',' + EncodeCell(text) + kLineEnd;
        }

    try {
        SaveFile(fileName, content);
    } catch (const EFileStoreError& e) {
        // A full disk reads the same here as for every other file.
        if (e.WhileCreating() && !e.DiskFull()) throw EFileError("Cannot Create " + fileName);
        throw;
    }
}

void LoadTableFile(TextTable& table, const std::string& fileName) {
    std::string content;
    try {
        content = ReadFileBounded(fileName, kMaxTableFileSize, true);
    } catch (const EFileStoreError& e) {
        const bool plainFailure = e.FaultKind() == EFileStoreError::Kind::System;
        throw ETableFileError("Cannot open file " + fileName + (plainFailure ? std::string() : ": " + std::string(e.what())),
                              plainFailure && e.SystemError() == ENOENT);
    }

    const std::vector<std::string> lines = SplitLines(content);
    if (lines.empty()) return;
    if (!lines.front().empty()) {
        const std::string& first = lines.front();
        const auto comma = first.find(',');
        const int columns = StrToIntPrefix(first.substr(0, comma));
        const int rows = comma == std::string::npos ? 0 : StrToIntPrefix(first.substr(comma + 1));
        table.Resize(columns, rows);
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].rfind(kWidthPrefix, 0) == 0)
            ReadWidthLine(table, lines[i]);
        else
            ReadCellLine(table, lines[i]);
    }
}

namespace {
constexpr int kNetworkPortColumn = 1;
}  // namespace

std::vector<std::string> NetworkPortsOf(const TextTable& table) {
    std::vector<std::string> cells;
    for (int row = 0; row < table.RowCount(); ++row) cells.push_back(table.Cell(kNetworkPortColumn, row));
    return NetworkPortList(cells);
}

void SetNetworkPorts(TextTable& table, const std::vector<std::string>& ports) {
    if (ports.empty() && table.ColumnCount() <= kNetworkPortColumn) return;
    const int needed = static_cast<int>(std::min<std::size_t>(ports.size(), TextTable::kMaxExtent));
    if (table.ColumnCount() <= kNetworkPortColumn || table.RowCount() < needed)
        table.Resize(std::max(table.ColumnCount(), kNetworkPortColumn + 1), std::max(table.RowCount(), needed));
    for (int row = 0; row < table.RowCount(); ++row)
        table.SetCell(kNetworkPortColumn, row,
                      row < needed ? ports[static_cast<std::size_t>(row)] : std::string());
}

}  // namespace orbiqa

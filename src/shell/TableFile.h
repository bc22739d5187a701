#pragma once
// The table of text cells behind "ZenitSetup.ini" and its file form: a dump of the table, one
// line per item (size, column widths, non-empty cells), lines ended by CR LF. Despite the
// extension it is not a section-and-key file.
#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/Errors.h"

namespace orbiqa {

class TextTable {
public:
    static constexpr int kDefaultColumnWidth = 64;
    /// Files may name any size; a larger one is read as this many columns or rows, so that a
    /// damaged file cannot make the program allocate without bound.
    static constexpr int kMaxExtent = 256;

    TextTable(int columns, int rows, int columnWidth = kDefaultColumnWidth);

    int ColumnCount() const { return static_cast<int>(widths_.size()); }
    int RowCount() const { return rows_; }
    /// Counts below 1 give 1; counts above kMaxExtent give kMaxExtent. New columns get the default
    /// width; cells outside are dropped.
    void Resize(int columns, int rows);

    int ColumnWidth(int column) const { return widths_.at(static_cast<std::size_t>(column)); }
    void SetColumnWidth(int column, int width) { widths_.at(static_cast<std::size_t>(column)) = width; }

    /// Cell (column, row); empty outside the table.
    std::string Cell(int column, int row) const;
    /// Ignored outside the table. An empty text empties the cell.
    void SetCell(int column, int row, std::string text);
    bool Contains(int column, int row) const;

private:
    std::vector<int> widths_;
    int rows_;
    int defaultWidth_;
    std::map<std::pair<int, int>, std::string> cells_;  // (row, column): row by row when iterated
};

/// The network ports the port chooser remembers (rfc2217://HOST:PORT, socket://HOST:PORT), most
/// recent first, as the table keeps them: column 1 beside the current port, one per row from
/// row 0. Cells that hold no network port address are skipped, and a port given twice counts
/// once, where it first appears; addresses come back in their canonical form.
std::vector<std::string> NetworkPortsOf(const TextTable& table);
/// Puts ports into column 1 from row 0 and empties the rest of that column, growing the table
/// to two columns and as many rows as needed; it never shrinks it. An empty list leaves a table
/// without network ports as it was.
void SetNetworkPorts(TextTable& table, const std::vector<std::string>& ports);

/// The file holds a port name and a few addresses. The bound admits a whole table of the
/// largest size (kMaxExtent squared) with short texts, so that everything this program may have
/// written is read back whole, while a hostile file still costs at most a few megabytes.
inline constexpr std::size_t kMaxTableFileSize = 1024 * 1024;

/// The failure of LoadTableFile. Missing() is true when there is no file at all; any other
/// failure means a file is there that could not be read whole, and a save would lose what it
/// holds.
class ETableFileError : public EFileError {
public:
    ETableFileError(const std::string& message, bool missing) : EFileError(message), missing_(missing) {}
    bool Missing() const { return missing_; }

private:
    bool missing_;
};

/// Writes the table into fileName (Windows-1250 text, CR LF) through SaveFile, so a failure
/// leaves the old file as it was. Raises EFileError "Cannot Create <fileName>" when the file
/// cannot be created, "Disk full" on a full medium, and the file-error text of any other
/// failure while writing.
void SaveTableFile(const TextTable& table, const std::string& fileName);

/// Reads such a file into the table, resizing it. Raises ETableFileError "Cannot open file
/// <fileName>" when the file cannot be opened, followed by ": Not a regular file" or
/// ": File too large" for a pipe or device and for a file over kMaxTableFileSize; it never
/// blocks. Lines it cannot place are skipped.
void LoadTableFile(TextTable& table, const std::string& fileName);

}  // namespace orbiqa

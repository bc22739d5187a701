#pragma once
// Entry rules of the editor's one-row grids: the thirteen number grids (one digit per cell) and
// the ten event-code grids (one symbol per cell). The window hands each typed character to these
// routines through the CellRow view of its grid.
#include <cstddef>
#include <string>
#include <string_view>

namespace orbiqa {

/// A one-row grid as the entry rules see it: cells and a current column.
class CellRow {
public:
    virtual ~CellRow() = default;
    virtual std::size_t ColCount() const = 0;
    virtual std::size_t Col() const = 0;
    virtual void SetCol(std::size_t col) = 0;
    /// Puts a value into a cell; the grid runs its cell check on it.
    virtual void SetCell(std::size_t col, const std::string& value) = 0;
};

constexpr char BackspaceKey = 8;

/// Number grids: a digit goes into the current cell and the cursor moves right (it stays on the
/// last cell, where a further digit replaces it); backspace steps left and empties every cell from
/// there to the end; anything else is ignored. The character is always consumed.
void DigitGridKeyPress(CellRow& grid, char key);

/// Event-code grids: as the number grids, for "0".."9", "A".."F" (small letters are capitalised)
/// and "*".
void EventGridKeyPress(CellRow& grid, char key);

/// Cell check of the number grids: the first character if it is a digit, else empty.
std::string DigitCellValidate(std::string_view value);

/// Cell check of the event-code grids: the capitalised first character if it is a digit,
/// "A".."F" or "*", else empty.
std::string EventCellValidate(std::string_view value);

}  // namespace orbiqa

#include "params/GridEntry.h"

#include "params/EntryRules.h"

namespace orbiqa {

namespace {

bool IsDigit(char c) {
    return IsNumberDigit(c);
}

// The grids also take "A".."F", which the store then drops as an incomplete code.
bool IsEventSymbol(char c) {
    return IsStoredEventSymbol(c) || (c >= 'A' && c <= 'F');
}

char Capital(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

void Backspace(CellRow& grid) {
    if (grid.Col() > 0) grid.SetCol(grid.Col() - 1);
    for (std::size_t k = grid.Col(); k < grid.ColCount(); ++k) grid.SetCell(k, std::string());
}

void PutSymbol(CellRow& grid, char c) {
    if (grid.ColCount() == 0) return;
    grid.SetCell(grid.Col(), std::string(1, c));
    if (grid.Col() + 1 < grid.ColCount()) grid.SetCol(grid.Col() + 1);
}

}  // namespace

void DigitGridKeyPress(CellRow& grid, char key) {
    if (key == BackspaceKey)
        Backspace(grid);
    else if (IsDigit(key))
        PutSymbol(grid, key);
}

void EventGridKeyPress(CellRow& grid, char key) {
    key = Capital(key);
    if (key == BackspaceKey)
        Backspace(grid);
    else if (IsEventSymbol(key))
        PutSymbol(grid, key);
}

std::string DigitCellValidate(std::string_view value) {
    if (!value.empty() && IsDigit(value.front())) return std::string(1, value.front());
    return std::string();
}

std::string EventCellValidate(std::string_view value) {
    if (value.empty()) return std::string();
    const char c = Capital(value.front());
    return IsEventSymbol(c) ? std::string(1, c) : std::string();
}

}  // namespace orbiqa

#pragma once
// A one-row grid of small fixed cells, one character per cell, with no in-cell editor: the cells
// change only through OnKeyPress (every typed character goes there) and through SetCell/SetCells.
// Arrow keys, Home, End and the mouse move the current cell.
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace orbiqa {

class TDigitGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int CellWidth = 12;
    static constexpr int CellHeight = 16;

    explicit TDigitGrid(int colCount, QWidget* parent = nullptr);

    int ColCount() const { return static_cast<int>(cells_.size()); }
    int Col() const { return col_; }
    /// Makes `col` current (clamped to the cells).
    void SetCol(int col);

    const std::vector<std::string>& Cells() const { return cells_; }
    std::string Cell(int col) const { return cells_.at(static_cast<std::size_t>(col)); }
    /// Replaces all cells as they are, without the cell check (the count stays the same).
    void SetCells(const std::vector<std::string>& cells);
    /// Puts a value into one cell after OnCellValidate, when assigned, has had its say.
    void SetCell(int col, const std::string& value);

    /// Every typed character (backspace as 8). The grid itself does nothing with characters.
    std::function<void(TDigitGrid& sender, char& key)> OnKeyPress;
    /// The grid's check of a cell's new content; may change the value.
    std::function<void(TDigitGrid& sender, int col, int row, std::string& value)> OnCellValidate;

    /// The cell's rectangle in widget coordinates.
    QRect CellRect(int col) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    std::vector<std::string> cells_;
    int col_ = 0;
};

/// Lets screen readers see a TDigitGrid as a one-row table of cells.
void InstallDigitGridAccessibility();

}  // namespace orbiqa

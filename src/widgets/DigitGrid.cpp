#include "widgets/DigitGrid.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QPainter>
#include <algorithm>

#include "widgets/Announcer.h"

namespace orbiqa {

namespace {

constexpr int GridLine = 1;
constexpr int Frame = 1;
constexpr int Pitch = TDigitGrid::CellWidth + GridLine;

// The character a key event types, as the 8-bit character the entry rules know; 0 for a key
// that types nothing they could want (non-Latin letters included).
char TypedChar(const QKeyEvent& event) {
    if (event.key() == Qt::Key_Backspace) return 8;
    const QString text = event.text();
    if (text.size() != 1) return 0;
    const char16_t c = text.front().unicode();
    return c >= 0x20 && c < 0x7F ? static_cast<char>(c) : 0;
}

// The grid's number as stored: its characters in order, empty cells left out.
QString Number(const std::vector<std::string>& cells) {
    QString number;
    for (const std::string& cell : cells) number += QString::fromLatin1(cell.c_str());
    return number;
}

}  // namespace

TDigitGrid::TDigitGrid(int colCount, QWidget* parent)
    : QWidget(parent), cells_(static_cast<std::size_t>(std::max(colCount, 1))) {
    InstallDigitGridAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(sizeHint());
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

QSize TDigitGrid::sizeHint() const {
    return {2 * Frame + ColCount() * Pitch + GridLine, 2 * Frame + CellHeight + 2 * GridLine};
}

QRect TDigitGrid::CellRect(int col) const {
    return {Frame + GridLine + col * Pitch, Frame + GridLine, CellWidth, CellHeight};
}

void TDigitGrid::SetCol(int col) {
    col = std::clamp(col, 0, ColCount() - 1);
    if (col == col_) return;
    col_ = col;
    update();
    if (QAccessible::isActive() && hasFocus()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(col_);
        QAccessible::updateAccessibility(&event);
    }
}

void TDigitGrid::SetCells(const std::vector<std::string>& cells) {
    for (std::size_t k = 0; k < cells_.size(); ++k) cells_[k] = k < cells.size() ? cells[k] : "";
    update();
}

void TDigitGrid::SetCell(int col, const std::string& value) {
    std::string checked = value;
    if (OnCellValidate) OnCellValidate(*this, col, 0, checked);
    cells_.at(static_cast<std::size_t>(col)) = checked;
    update(CellRect(col));
}

void TDigitGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    const bool enabled = isEnabled();
    p.fillRect(rect(), pal.color(QPalette::Mid));
    p.setPen(pal.color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    for (int k = 0; k < ColCount(); ++k) {
        const QRect cell = CellRect(k);
        const bool current = k == col_;
        QColor back = pal.color(QPalette::Base);
        QColor text = pal.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::Text);
        if (current && enabled && hasFocus()) {
            back = pal.color(QPalette::Highlight);
            text = pal.color(QPalette::HighlightedText);
        } else if (current && enabled) {
            // Without the focus the current cell stays visible, but only as a tint.
            const QColor tint = pal.color(QPalette::Highlight);
            back = QColor((back.red() * 3 + tint.red()) / 4, (back.green() * 3 + tint.green()) / 4,
                          (back.blue() * 3 + tint.blue()) / 4);
        }
        if (!enabled) back = pal.color(QPalette::Disabled, QPalette::Base);
        p.fillRect(cell, back);
        p.setPen(text);
        p.drawText(cell, Qt::AlignCenter, QString::fromLatin1(Cell(k).c_str()));
    }
}

void TDigitGrid::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left: SetCol(col_ - 1); return;
        case Qt::Key_Right: SetCol(col_ + 1); return;
        case Qt::Key_Home: SetCol(0); return;
        case Qt::Key_End: SetCol(ColCount() - 1); return;
        case Qt::Key_Up:
        case Qt::Key_Down: return;  // one row: nowhere to go
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter: QWidget::keyPressEvent(event); return;
        default: break;
    }
    char key = TypedChar(*event);
    const auto chord =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    // Windows reports AltGr as Ctrl+Alt; what it types ("*" on a Hungarian keyboard) is a
    // character like any other. Every other chord is a shortcut and belongs to the window.
    const bool altGr = chord == (Qt::ControlModifier | Qt::AltModifier) && key >= 0x20;
    if (chord && !altGr) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (key != 0 && OnKeyPress) {
        const std::vector<std::string> before = cells_;
        OnKeyPress(*this, key);
        // A screen reader echoes the key; the number it made is said here, digit by digit.
        if (cells_ != before) {
            const QStringList digits = Number(cells_).split(QString(), Qt::SkipEmptyParts);
            Announce(this, digits.isEmpty() ? QString::fromUtf8("üres") : digits.join(' '));
        }
    }
    event->accept();
}

void TDigitGrid::mousePressEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x() - Frame - GridLine;
    if (x >= 0 && event->button() == Qt::LeftButton) SetCol(x / Pitch);
    setFocus(Qt::MouseFocusReason);
}

void TDigitGrid::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TDigitGrid::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

// ---- Accessibility: the grid is a table of one row, each cell an accessible table cell. ----

namespace {

class DigitGridAccessible;

class DigitGridCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    DigitGridCellAccessible(TDigitGrid* grid, int col) : grid_(grid), col_(col) {}

    bool isValid() const override { return grid_ && col_ < grid_->ColCount(); }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(grid_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        if (!isValid()) return {};
        if (t == QAccessible::Name || t == QAccessible::Value)
            return QString::fromLatin1(grid_->Cell(col_).c_str());
        if (t == QAccessible::Description) return QString::number(col_ + 1);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) return {};
        const QRect r = grid_->CellRect(col_);
        return QRect(grid_->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) return s;
        s.selectable = true;
        s.focusable = true;
        s.selected = isSelected();
        s.focused = isSelected() && grid_->hasFocus();
        s.disabled = !grid_->isEnabled();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this)
                                                       : nullptr;
    }

    bool isSelected() const override { return isValid() && grid_->Col() == col_; }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return col_; }
    int rowIndex() const override { return 0; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    QPointer<TDigitGrid> grid_;
    int col_;
};

class DigitGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit DigitGridAccessible(TDigitGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) {}
    ~DigitGridAccessible() override {
        for (auto id : cellIds_) QAccessible::deleteAccessibleInterface(id);
    }

    TDigitGrid* grid() const { return static_cast<TDigitGrid*>(widget()); }

    // The whole number is the table's value, so a screen reader has it without a cell walk.
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return Number(grid()->Cells());
        return QAccessibleWidget::text(t);
    }

    int childCount() const override { return grid()->ColCount(); }
    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < grid()->ColCount() ? cellAt(0, index) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (auto it = cellIds_.cbegin(); it != cellIds_.cend(); ++it)
            if (QAccessible::accessibleInterface(it.value()) == child) return it.key();
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = grid()->mapFromGlobal(QPoint(x, y));
        for (int k = 0; k < grid()->ColCount(); ++k)
            if (grid()->CellRect(k).contains(local)) return cellAt(0, k);
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return grid()->hasFocus() ? cellAt(0, grid()->Col()) : nullptr;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        if (row != 0 || column < 0 || column >= grid()->ColCount()) return nullptr;
        if (!cellIds_.contains(column)) {
            auto* cell = new DigitGridCellAccessible(grid(), column);
            cellIds_.insert(column, QAccessible::registerAccessibleInterface(cell));
        }
        return QAccessible::accessibleInterface(cellIds_.value(column));
    }
    int selectedCellCount() const override { return 1; }
    QList<QAccessibleInterface*> selectedCells() const override { return {cellAt(0, grid()->Col())}; }
    QString columnDescription(int column) const override { return QString::number(column + 1); }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 1; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return grid()->ColCount(); }
    int rowCount() const override { return 1; }
    QList<int> selectedColumns() const override { return {grid()->Col()}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int column) const override { return column == grid()->Col(); }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int column) override {
        if (column < 0 || column >= grid()->ColCount()) return false;
        grid()->SetCol(column);
        return true;
    }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
    mutable QHash<int, QAccessible::Id> cellIds_;
};

QAccessibleInterface* DigitGridFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("orbiqa::TDigitGrid") && object && object->isWidgetType())
        return new DigitGridAccessible(static_cast<TDigitGrid*>(object));
    return nullptr;
}

}  // namespace

void InstallDigitGridAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(DigitGridFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace orbiqa

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "support/RecordingAnnouncer.h"
#include "widgets/DigitGrid.h"

using namespace orbiqa;

namespace {

void Key(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
}

void Click(TDigitGrid& grid, int col) {
    const QPointF pos = grid.CellRect(col).center();
    QMouseEvent press(QEvent::MouseButtonPress, pos, grid.mapToGlobal(pos), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&grid, &press);
}

}  // namespace

TEST(DigitGrid, KeysAndMouseMoveTheCurrentCell) {
    TDigitGrid grid(16);
    EXPECT_EQ(grid.size(), grid.sizeHint());
    EXPECT_EQ(grid.CellRect(1).width(), 12);
    EXPECT_EQ(grid.CellRect(1).height(), 16);
    Key(&grid, Qt::Key_Right);
    Key(&grid, Qt::Key_Right);
    EXPECT_EQ(grid.Col(), 2);
    Key(&grid, Qt::Key_End);
    Key(&grid, Qt::Key_Right);  // stays on the last cell
    EXPECT_EQ(grid.Col(), 15);
    Key(&grid, Qt::Key_Home);
    Key(&grid, Qt::Key_Left);
    EXPECT_EQ(grid.Col(), 0);
    Click(grid, 5);
    EXPECT_EQ(grid.Col(), 5);
}

TEST(DigitGrid, CharactersGoOnlyToTheKeyHandler) {
    TDigitGrid grid(4);
    std::string typed;
    grid.OnKeyPress = [&](TDigitGrid&, char& key) { typed += key; };
    Key(&grid, Qt::Key_1, QStringLiteral("1"));
    Key(&grid, Qt::Key_Backspace, QStringLiteral("\b"));
    Key(&grid, Qt::Key_Backspace);  // some platforms send no text for backspace
    Key(&grid, Qt::Key_unknown, QString::fromUtf8("ő"));  // nothing the rules could want
    EXPECT_EQ(typed, "1\b\b");
    EXPECT_EQ(grid.Cells(), std::vector<std::string>(4));  // no in-cell editing
}

TEST(DigitGrid, AltGrTypesButShortcutsGoToTheWindow) {
    TDigitGrid grid(4);
    std::string typed;
    grid.OnKeyPress = [&](TDigitGrid&, char& key) { typed += key; };
    const auto press = [&](int key, Qt::KeyboardModifiers modifiers, const QString& text) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(&grid, &event);
        return event.isAccepted();
    };
    // "*" on a Hungarian keyboard is AltGr+"-", which Windows reports as Ctrl+Alt.
    const auto altGr = Qt::ControlModifier | Qt::AltModifier;
    EXPECT_TRUE(press(Qt::Key_Asterisk, altGr, QStringLiteral("*")));
    EXPECT_FALSE(press(Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16")));
    EXPECT_FALSE(press(Qt::Key_1, Qt::AltModifier, QStringLiteral("1")));
    EXPECT_FALSE(press(Qt::Key_1, altGr, QString()));
    EXPECT_EQ(typed, "*");
}

TEST(DigitGrid, CellCheckRunsOnSetCellOnly) {
    TDigitGrid grid(2);
    grid.OnCellValidate = [](TDigitGrid&, int col, int row, std::string& value) {
        EXPECT_EQ(row, 0);
        value = col == 0 ? "x" : value;
    };
    grid.SetCell(0, "7");
    grid.SetCell(1, "8");
    EXPECT_EQ(grid.Cells(), (std::vector<std::string>{"x", "8"}));
    grid.SetCells({" ", "9", "extra"});
    EXPECT_EQ(grid.Cells(), (std::vector<std::string>{" ", "9"}));
}

TEST(DigitGrid, AccessibleAsAOneRowTable) {
    TDigitGrid grid(4);
    grid.setAccessibleName(QStringLiteral("1. Felhasználó"));
    grid.SetCells({"3", "", "7", ""});
    grid.SetCol(2);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    EXPECT_EQ(table->text(QAccessible::Name), QStringLiteral("1. Felhasználó"));
    EXPECT_EQ(table->childCount(), 4);
    ASSERT_NE(table->tableInterface(), nullptr);
    EXPECT_EQ(table->tableInterface()->columnCount(), 4);
    EXPECT_EQ(table->tableInterface()->rowCount(), 1);
    QAccessibleInterface* cell = table->tableInterface()->cellAt(0, 2);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->role(), QAccessible::Cell);
    EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("7"));
    EXPECT_TRUE(cell->tableCellInterface()->isSelected());
    EXPECT_EQ(table->indexOfChild(cell), 2);
    EXPECT_EQ(table->child(0)->text(QAccessible::Name), QStringLiteral("3"));
}

TEST(DigitGrid, TheWholeNumberIsTheTablesValueAndEachChangeIsSaid) {
    test::RecordingAnnouncer announcer;
    QWidget window;
    auto* grid = new TDigitGrid(8, &window);
    window.show();
    // A digit fills the cell and moves on; backspace empties the cell before the cursor.
    grid->OnKeyPress = [](TDigitGrid& g, char& key) {
        if (key >= '0' && key <= '9') {
            g.SetCell(g.Col(), std::string(1, key));
            g.SetCol(g.Col() + 1);
        } else if (key == 8) {
            g.SetCol(g.Col() - 1);
            g.SetCell(g.Col(), "");
        }
    };
    Key(grid, Qt::Key_0, "0");
    Key(grid, Qt::Key_6, "6");
    Key(grid, Qt::Key_A, "a");  // changes nothing, so says nothing
    Key(grid, Qt::Key_Right);
    Key(grid, Qt::Key_3, "3");  // after a gap: the number closes up, as it is stored
    EXPECT_EQ(QAccessible::queryAccessibleInterface(grid)->text(QAccessible::Value), "063");
    Key(grid, Qt::Key_Backspace);
    Key(grid, Qt::Key_Backspace);
    Key(grid, Qt::Key_Backspace);
    Key(grid, Qt::Key_Backspace);
    EXPECT_EQ(announcer.Take(), (QStringList{"0", "0 6", "0 6 3", "0 6", "0", QString::fromUtf8("üres")}));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(grid)->text(QAccessible::Value), "");
}

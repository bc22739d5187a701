// The chooser's shortcut menu from the keyboard: Shift+F10 opens it as the Menu key does, with
// its item active, so that a screen reader says "Port hozzáadása" and Enter takes it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTableWidget>
#include <QTest>

#include "FakeRegistry.h"
#include "ports/FormComPort.h"

using namespace orbiqa;
using namespace orbiqa::test;

TEST(PortChooserMenu, ShiftF10OpensTheMenuWithItsItemActive) {
    auto registry = std::make_shared<MemoryRegistry>();
    AddPortDevice(*registry, "ACPI\\PNP0501\\1", "Communications Port (COM1)",
                  "(Standard port types)");
    SorosKeres keres(registry);
    TFormComPort window(keres);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.FormActivate();
    window.StringGrid1->setFocus();

    QTest::keyClick(window.StringGrid1, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.PopupMenu1->isVisible(); }));
    EXPECT_EQ(window.PopupMenu1->activeAction(), window.jporthozzadsa1);
    window.PopupMenu1->close();

    // F10 alone, or with another modifier, is not the menu key.
    QTest::keyClick(window.StringGrid1, Qt::Key_F10);
    QTest::keyClick(window.StringGrid1, Qt::Key_F10, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_FALSE(window.PopupMenu1->isVisible());
}

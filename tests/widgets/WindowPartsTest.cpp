// The parts every window builds the same way: command buttons and message boxes.
#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include "widgets/CommandButton.h"
#include "widgets/MessageBoxes.h"

using namespace orbiqa;

TEST(CommandButton, AScreenReaderHearsTheCaptionWithoutItsMnemonicMark) {
    const struct {
        const char* caption;
        const char* spoken;
    } cases[] = {
        {"OK", "OK"},
        {"&Rögzítés", "Rögzítés"},
        {"Nem &most", "Nem most"},
        {"Be && ki", "Be & ki"},
        {"&&&Mentés", "&Mentés"},
        {"Vége&", "Vége"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SpokenCaption(QString::fromUtf8(c.caption)), QString::fromUtf8(c.spoken)) << c.caption;

    QWidget window;
    QPushButton* button = MakeCommandButton(&window, "btSave", QString::fromUtf8("&Mentés"));
    EXPECT_EQ(button->parent(), &window);
    EXPECT_EQ(button->objectName(), "btSave");
    EXPECT_EQ(button->text(), QString::fromUtf8("&Mentés"));
    EXPECT_EQ(button->accessibleName(), QString::fromUtf8("Mentés"));
}

TEST(CommandButton, LookAndEnterRole) {
    QDialog dialog;
    QPushButton* plain = MakeCommandButton(&dialog, "btPlain", "Plain");
    EXPECT_FALSE(plain->font().bold());
    EXPECT_FALSE(plain->isDefault());
    EXPECT_TRUE(plain->autoDefault());  // Qt's choice in a dialog is left alone

    QPushButton* ok = MakeCommandButton(
        &dialog, "btOk", "OK",
        {.bold = true, .geometry = {8, 262, 172, 25}, .enter = ButtonEnter::Default});
    EXPECT_TRUE(ok->font().bold());
    EXPECT_EQ(ok->font().pointSizeF(), plain->font().pointSizeF());
    EXPECT_EQ(ok->geometry(), QRect(8, 262, 172, 25));
    EXPECT_TRUE(ok->isDefault());

    QPushButton* never = MakeCommandButton(&dialog, "btNever", "Never", {.enter = ButtonEnter::Never});
    EXPECT_FALSE(never->autoDefault());
    EXPECT_FALSE(never->isDefault());
}

TEST(MessageBoxes, AWindowsOwnWarningIsPlainTextAndBelongsToTheWindow) {
    QWidget window;
    // What the user typed, shown back: markup in it must not be taken for formatting.
    const QString text = QString::fromUtf8("Ez nem hálózati port címe: <b>x</b>\nPélda");
    const auto box = MakeMessageBox({BoxIcon::Warning, "Soros portok", text, &window});
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->parentWidget(), &window);
    EXPECT_EQ(box->windowTitle(), "Soros portok");
    const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), text);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(MakeMessageBox({BoxIcon::Error, "X", "Y"})->icon(), QMessageBox::Critical);
    EXPECT_EQ(MakeMessageBox({BoxIcon::None, "X", "Y"})->parentWidget(), nullptr);
}

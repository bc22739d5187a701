// The session-wide set-up: Qt's own texts in Hungarian, one font family with a real fallback,
// the program's icon, and message boxes that show their text exactly as given.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>

#include "shell/DesktopSetup.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WindowFont.h"

using namespace orbiqa;

TEST(Desktop, QtsOwnTextsTheIconAndTheFontFamilyAreSetForTheWholeProgram) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    SetUpDesktop(*app);
    // The file dialog's caption and the edit menu of every text field.
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Save As"), "Save As");
    EXPECT_NE(QCoreApplication::translate("QLineEdit", "Select All"), "Select All");
    EXPECT_FALSE(QApplication::windowIcon().availableSizes().isEmpty());
    EXPECT_EQ(QApplication::font().families(), WindowFontFamilies());
}

TEST(Desktop, AMissingWindowFamilyFallsBackToTheDesktopsOwnFont) {
    const QFont font = WindowFont(8);
    EXPECT_EQ(font.pointSize(), 8);
    const QString shown = QFontInfo(font).family();
    const QStringList installed = QFontDatabase::families();
    if (installed.contains("MS Sans Serif") || installed.contains("Microsoft Sans Serif")) GTEST_SKIP();
    // Not whatever the font matcher substitutes for an unknown name.
    EXPECT_EQ(shown, QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family());
}

TEST(Desktop, MessageBoxesShowMarkupAndRunsOfBlanksAsWritten) {
    // A version text as a module may send it: a tag, and the two-blank separators.
    const QString text = QString::fromUtf8("<b>AB</b>  12  2010  DataVersion:5");
    const auto box = MakeMessageBox({BoxIcon::None, "Info", text});
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), text);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <string>

#include "diag/LogMemoView.h"
#include "diag/SerialDetails.h"

using namespace orbiqa;

TEST(LogMemoView, ShowsWindows1250TextAndStartsLinesLikeTheRule) {
    LogMemoView memo("Memo3", "1. csatorna");
    AppendLogText(memo, "Kimen\xF5 h\xEDv\xE1s\r");  // "Kimenő hívás" in Windows-1250
    AppendLogText(memo, "\xFBr");                    // "űr"
    EXPECT_EQ(memo.Lines(), (QStringList{QString::fromUtf8("Kimenő hívás"), QString::fromUtf8("űr")}));
    EXPECT_TRUE(memo.isReadOnly());
}

TEST(FormDetails, ClearAllEmptiesEveryPaneButKeepsPendingLines) {
    TFormDetails form;
    EXPECT_EQ(form.windowTitle(), "Serial Port Details");
    for (LogPane p : {LogPane::Memo3, LogPane::Memo4, LogPane::Memo5, LogPane::MemoDTMF})
        AppendLogText(*form.Pane(p), "text\r");
    AppendLogText(*form.Memo4(), "more");
    form.Memo2()->AppendToLastLine("x");

    form.findChild<QPushButton*>("btClear")->click();
    for (LogMemoView* m : {form.Memo2(), form.Memo3(), form.Memo4(), form.Memo5(), form.MemoDTMF()})
        EXPECT_TRUE(m->Lines().isEmpty()) << m->objectName().toStdString();
    EXPECT_TRUE(form.Memo3()->NewLinePending);
    EXPECT_FALSE(form.Memo4()->NewLinePending);
    EXPECT_EQ(form.Pane(LogPane::MemoState), nullptr);

    AppendLogText(*form.Memo3(), "next");
    EXPECT_EQ(form.Memo3()->Lines(), QStringList{"next"});
}

TEST(LogMemoView, WrapsLongLinesInsteadOfScrollingSideways) {
    LogMemoView memo("Memo3", "1. csatorna");
    memo.resize(305, 153);
    memo.show();
    AppendLogText(memo, std::string(400, 'x'));
    QCoreApplication::processEvents();
    EXPECT_EQ(memo.Lines().size(), 1);
    EXPECT_FALSE(memo.horizontalScrollBar()->isVisible());
    EXPECT_TRUE(memo.verticalScrollBar()->isVisible());
}

TEST(FormDetails, Memo2HasTheMenuColour) {
    const QPalette oldMenu = QApplication::palette("QMenu");
    QPalette menu = oldMenu;
    menu.setColor(QPalette::Window, QColor(1, 2, 3));
    QApplication::setPalette(menu, "QMenu");
    TFormDetails form;
    QApplication::setPalette(oldMenu, "QMenu");
    EXPECT_EQ(form.Memo2()->palette().color(QPalette::Base), QColor(1, 2, 3));
    EXPECT_NE(form.Memo3()->palette().color(QPalette::Base), QColor(1, 2, 3));
}

TEST(FormDetails, CloseOnlyHides) {
    TFormDetails form;
    form.show();
    AppendLogText(*form.Memo5(), "kept");
    form.findChild<QPushButton*>("Close")->click();
    EXPECT_FALSE(form.isVisible());
    form.show();
    EXPECT_EQ(form.Memo5()->Lines(), QStringList{"kept"});
}

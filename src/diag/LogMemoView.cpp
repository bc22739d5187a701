#include "diag/LogMemoView.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include "widgets/QtText.h"

namespace orbiqa {

LogMemoView::LogMemoView(const QString& objectName, const QString& accessibleName, QWidget* parent)
    : QPlainTextEdit(parent) {
    setObjectName(objectName);
    setAccessibleName(accessibleName);
    setReadOnly(true);
    // A vertical scroll bar only: long lines wrap at the memo's width.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void LogMemoView::AddLine(std::string_view text) {
    const QString line = FromWin1250(std::string(text));
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // An empty memo has one empty block: the new line is that block, as its first line.
    if (!document()->isEmpty()) cursor.insertBlock();
    cursor.insertText(line);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogMemoView::AppendToLastLine(std::string_view text) {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(FromWin1250(std::string(text)));
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QStringList LogMemoView::Lines() const {
    QStringList lines;
    if (document()->isEmpty()) return lines;
    for (QTextBlock b = document()->firstBlock(); b.isValid(); b = b.next()) lines << b.text();
    return lines;
}

}  // namespace orbiqa

#pragma once
// Real input for the editor's widgets: key, mouse and focus events sent as the platform would.
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QString>

#include "widgets/DigitGrid.h"

namespace orbiqa::test {

inline void Key(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

/// Types each character as its own key press ("\b" as backspace).
inline void Type(QWidget* w, const QString& text) {
    for (QChar c : text) {
        if (c == QLatin1Char('\b'))
            Key(w, Qt::Key_Backspace, QStringLiteral("\b"));
        else
            Key(w, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_unknown, QString(c));
    }
}

inline void ClickCell(TDigitGrid* grid, int col) {
    const QPointF pos = grid->CellRect(col).center();
    QMouseEvent press(QEvent::MouseButtonPress, pos, grid->mapToGlobal(pos), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid, &press);
}

inline void Leave(QWidget* w) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &out);
}

}  // namespace orbiqa::test

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>

#include "widgets/TextValidators.h"

using namespace orbiqa;

namespace {

void Type(QLineEdit& edit, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&edit, &press);
    }
}

}  // namespace

TEST(Win1250Validator, RefusesWhatTheCodePageCannotHold) {
    QLineEdit edit;
    edit.setValidator(new TWin1250Validator(false, &edit));
    Type(edit, QString::fromUtf8("Űr€ ő日"));
    EXPECT_EQ(edit.text(), QString::fromUtf8("Űr€ ő"));
    QApplication::clipboard()->setText(QString::fromUtf8("ab日"));
    edit.paste();
    EXPECT_EQ(edit.text(), QString::fromUtf8("Űr€ ő"));
    QApplication::clipboard()->setText(QStringLiteral("$1"));
    edit.paste();
    EXPECT_EQ(edit.text(), QString::fromUtf8("Űr€ ő$1"));
}

TEST(Win1250Validator, DropsSpacesWhenAskedTo) {
    QLineEdit edit;
    edit.setValidator(new TWin1250Validator(true, &edit));
    Type(edit, QStringLiteral("a b"));
    EXPECT_EQ(edit.text(), QStringLiteral("ab"));
    QApplication::clipboard()->setText(QStringLiteral(" my apn "));
    edit.paste();
    EXPECT_EQ(edit.text(), QStringLiteral("abmyapn"));
    EXPECT_EQ(edit.cursorPosition(), 7);
}

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>

#include "params/EntryRules.h"
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
    edit.setValidator(new TWin1250Validator(false, IsTextByte, &edit));
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
    edit.setValidator(new TWin1250Validator(true, IsTextByte, &edit));
    Type(edit, QStringLiteral("a b"));
    EXPECT_EQ(edit.text(), QStringLiteral("ab"));
    QApplication::clipboard()->setText(QStringLiteral(" my apn "));
    edit.paste();
    EXPECT_EQ(edit.text(), QStringLiteral("abmyapn"));
    EXPECT_EQ(edit.cursorPosition(), 7);
}

// "˙" is in the code page but its byte (0xFF) is what the load skips; DEL is a control character.
// Both are refused by the same byte rule that judges a value set from the command line.
TEST(Win1250Validator, RefusesBytesTheFieldsRuleRefuses) {
    const QString dotAbove = QString::fromUtf8("˙");
    const QString del(QChar(0x7F));
    for (const bool dropSpaces : {false, true}) {
        SCOPED_TRACE(dropSpaces);
        QLineEdit edit;
        edit.setValidator(new TWin1250Validator(dropSpaces, IsTextByte, &edit));
        Type(edit, QString::fromUtf8("ő") + dotAbove + QString::fromUtf8("űá") + del +
                       QString::fromUtf8("é"));
        EXPECT_EQ(edit.text(), QString::fromUtf8("őűáé"));
        for (const QString& pasted : {QString::fromUtf8("Áb˙"), QStringLiteral("x") + del, dotAbove,
                                      QStringLiteral("y\tz")}) {
            QApplication::clipboard()->setText(pasted);
            edit.paste();
            EXPECT_EQ(edit.text(), QString::fromUtf8("őűáé"));
        }
        QApplication::clipboard()->setText(QString::fromUtf8("ÖÜÓÚŐŰÍ"));
        edit.paste();
        EXPECT_EQ(edit.text(), QString::fromUtf8("őűáéÖÜÓÚŐŰÍ"));
    }
}

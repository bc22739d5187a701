#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "widgets/IPAddressControl.h"

using namespace orbiqa;

namespace {

void Type(QWidget* w, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, c == QLatin1Char('.') ? Qt::Key_Period : Qt::Key_unknown,
                        Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

void Leave(QWidget* w) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &out);
}

}  // namespace

TEST(IPAddressControl, ShowsTheStoredFieldsOnceShown) {
    TIPAddressControl control;
    EXPECT_EQ(control.size(), QSize(121, 25));
    control.SetField0(192);
    control.SetField1(168);
    control.SetField2(1);
    control.SetField3(10);
    EXPECT_EQ(control.IPAddress(), "");
    EXPECT_EQ(control.Field0(), 192);
    control.show();
    EXPECT_EQ(control.IPAddress(), "192.168.1.10");
    EXPECT_EQ(control.FieldEdit(2)->text(), QStringLiteral("1"));

    control.SetIPAddress("10.0.300.1");
    EXPECT_TRUE(control.IsBlank());
    EXPECT_EQ(control.FieldEdit(0)->text(), QString());
    EXPECT_EQ(control.Field2(), 255);
    EXPECT_THROW(control.SetField2(256), EIPAddressRangeError);
}

TEST(IPAddressControl, TypedFieldIsTakenOverWhenTheUserMovesOn) {
    TIPAddressControl control;
    control.show();
    int changes = 0;
    control.OnChange = [&] { ++changes; };
    QLineEdit* field3 = control.FieldEdit(3);
    field3->selectAll();
    Type(field3, QStringLiteral("77"));
    EXPECT_TRUE(control.Modified());
    EXPECT_EQ(control.Field3(), 0);
    Leave(field3);
    EXPECT_EQ(control.Field3(), 77);
    EXPECT_FALSE(control.Modified());
    EXPECT_EQ(changes, 2);

    QLineEdit* field1 = control.FieldEdit(1);
    field1->selectAll();
    Type(field1, QStringLiteral("9x99"));  // the letter is refused, 999 is held to the range
    EXPECT_EQ(field1->text(), QStringLiteral("999"));
    Leave(field1);
    EXPECT_EQ(field1->text(), QStringLiteral("255"));
    EXPECT_EQ(control.Field1(), 255);
}

TEST(IPAddressControl, FocusEnterAndExitOfTheWholeControl) {
    QWidget window;
    auto* control = new TIPAddressControl(&window);
    auto* other = new QLineEdit(&window);
    other->move(0, 40);
    window.show();
    QApplication::setActiveWindow(&window);
    int enters = 0, exits = 0;
    control->OnEnter = [&] { ++enters; };
    control->OnExit = [&] { ++exits; };
    other->setFocus();  // showing the window may have put the focus into the control first
    enters = exits = 0;
    control->FieldEdit(0)->setFocus();
    control->FieldEdit(2)->setFocus();  // moving inside is no exit
    other->setFocus();
    QApplication::processEvents();
    if (!other->hasFocus()) GTEST_SKIP() << "the platform gives no focus";
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 1);
}

TEST(IPAddressControl, FontChangeSizesToTheFont) {
    TIPAddressControl control;
    QFont big = control.font();
    big.setPointSize(20);
    control.setFont(big);
    const QFontMetrics metrics(big);
    EXPECT_EQ(control.height(), metrics.height() + 8);
    EXPECT_EQ(control.width(), 8 * (metrics.maxWidth() + 8));
}

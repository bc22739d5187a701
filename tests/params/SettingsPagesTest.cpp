// The entry rules of each page, driven by real key, mouse and focus events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "params/ImageFields.h"
#include "params/SettingsForm.h"
#include "params/SettingsTestSupport.h"
#include "widgets/IPAddressControl.h"
#include "widgets/RadioGroup.h"
#include "widgets/UpDownEdit.h"

using namespace orbiqa;
using namespace orbiqa::test;

namespace {

std::string Row(const TDigitGrid* grid) {
    std::string s;
    for (const auto& c : grid->Cells()) s += c.empty() ? "_" : c;
    return s;
}

class Editor : public ::testing::Test {
protected:
    void SetUp() override { form.LoadImageToControls(); }
    ParameterImage image;
    TSettingsForm form{image};
};

}  // namespace

// ---- Phone numbers ----

TEST_F(Editor, SeventeenthDigitReplacesTheSixteenth) {
    Type(form.acgUSER1, QStringLiteral("12345678901234567"));
    EXPECT_EQ(Row(form.acgUSER1), "1234567890123457");
    EXPECT_EQ(form.acgUSER1->Col(), 15);
    form.StoreControlsToImage();
    EXPECT_EQ(image[EEAddr::USER1], 16);
}

TEST_F(Editor, BackspaceEmptiesFromTheCursor) {
    Type(form.acgSMSFW1, QStringLiteral("98765"));
    Key(form.acgSMSFW1, Qt::Key_Left);
    Key(form.acgSMSFW1, Qt::Key_Left);
    Type(form.acgSMSFW1, QStringLiteral("\b"));
    EXPECT_EQ(Row(form.acgSMSFW1), "98______________");
    Key(form.acgSMSFW1, Qt::Key_Home);
    Type(form.acgSMSFW1, QStringLiteral("\b"));
    EXPECT_EQ(Row(form.acgSMSFW1), std::string(16, '_'));
    EXPECT_EQ(form.acgSMSFW1->Col(), 0);
}

TEST_F(Editor, DigitsWithAGapCloseUpOnStore) {
    Type(form.acgUSER2, QStringLiteral("3"));
    ClickCell(form.acgUSER2, 5);
    Type(form.acgUSER2, QStringLiteral("7+*#aZ"));
    EXPECT_EQ(Row(form.acgUSER2), "3____7__________");
    form.StoreControlsToImage();
    EXPECT_EQ(image[EEAddr::USER2], 2);
    EXPECT_EQ(image[EEAddr::USER2 + 1], '3');
    EXPECT_EQ(image[EEAddr::USER2 + 2], '7');
    form.LoadImageToControls();
    EXPECT_EQ(Row(form.acgUSER2), "37______________");
}

TEST_F(Editor, EmptyPrefixAndEmptyNumberDiffer) {
    Type(form.acgNETPREFIX, QStringLiteral("123456789"));
    EXPECT_EQ(Row(form.acgNETPREFIX), "12345679");
    Key(form.acgNETPREFIX, Qt::Key_Home);
    Type(form.acgNETPREFIX, QStringLiteral("\b"));
    form.StoreControlsToImage();
    EXPECT_EQ(image[EEAddr::NETPREFIX], 0);
    EXPECT_EQ(image[EEAddr::USER1], 0xFF);
}

// ---- SMS texts ----

TEST_F(Editor, EventCodesTakeDigitsStarAndHexLetters) {
    Type(form.acgEvent[0], QStringLiteral("1*30"));
    Type(form.acgEvent[1], QStringLiteral("1b3g0"));
    EXPECT_EQ(Row(form.acgEvent[1]), "1B30");
    Type(form.acgEvent[2], QStringLiteral("113"));
    form.StoreControlsToImage();
    EXPECT_EQ(image[EEAddr::Event(1)], 0x1A);
    EXPECT_EQ(image[EEAddr::Event(1) + 1], 0x30);
    EXPECT_EQ(image[EEAddr::Event(2)], 0xFF);  // a letter: no code
    EXPECT_EQ(image[EEAddr::Event(3)], 0xFF);  // three symbols: no code
    form.LoadImageToControls();
    EXPECT_EQ(Row(form.acgEvent[0]), "1*30");
    EXPECT_EQ(Row(form.acgEvent[1]), "    ");
}

TEST_F(Editor, SmsTextHoldsOnlyWindows1250) {
    QLineEdit* edit = form.edSMS[0];
    Type(edit, QString::fromUtf8("Ű日 $"));
    QApplication::clipboard()->setText(QString::fromUtf8("x☺"));
    edit->paste();
    EXPECT_EQ(edit->text(), QString::fromUtf8("Ű $"));
    Type(edit, QString(45, QLatin1Char('a')));
    EXPECT_EQ(edit->text().size(), 40);
    form.StoreControlsToImage();
    EXPECT_EQ(image[EEAddr::SMS(1)], 40);
    EXPECT_EQ(image[EEAddr::SMS(1) + 1], 0xDC);  // "Ű" is sent as "Ü"
    form.LoadImageToControls();
    EXPECT_TRUE(edit->text().startsWith(QString::fromUtf8("Ü $a")));
}

TEST_F(Editor, TextFieldsRefuseWhatTheLoadWouldDrop) {
    // "˙" (0xFF) and DEL, refused wherever a value set from outside the editor is refused.
    const QString refused = QString::fromUtf8("˙") + QChar(0x7F);
    for (QLineEdit* edit : {form.edSMS[0], form.edSMS[EEAddr::EventCount - 1], form.edAPN,
                            form.edUserName, form.edPWD}) {
        SCOPED_TRACE(edit->objectName().toStdString());
        QApplication::clipboard()->setText(QString::fromUtf8("ő") + refused);
        edit->paste();
        EXPECT_EQ(edit->text(), QString());
        Type(edit, QString::fromUtf8("ő") + refused + QString::fromUtf8("ű"));
        EXPECT_EQ(edit->text(), QString::fromUtf8("őű"));
    }
}

TEST_F(Editor, ControlBytesInTheImageDoNotLockTheField) {
    StoreSmsText(image, EEAddr::SMS(3), std::string{'a', '\x7F', 'b', '\x01'});
    form.LoadImageToControls();
    Type(form.edSMS[2], QStringLiteral("c"));
    EXPECT_EQ(form.edSMS[2]->text(), QStringLiteral("a?b?c"));
}

TEST_F(Editor, UndefinedCodePageBytesDoNotCostTheRestOfTheText) {
    StoreSmsText(image, EEAddr::SMS(2), "ab\x98" "cd");  // 0x98 has no character in the code page
    StorePlainText(image, EEAddr::PWD, "p\x81w", EEAddr::PwdCapacity);
    form.LoadImageToControls();
    Type(form.edSMS[1], QStringLiteral("e"));  // the field can still be edited
    form.StoreControlsToImage();
    EXPECT_EQ(LoadSmsText(image, EEAddr::SMS(2)), "ab?cde");
    EXPECT_EQ(LoadPlainText(image, EEAddr::PWD, EEAddr::PwdCapacity), "p?w");
}

// ---- Call restriction and Bell 103 ----

TEST_F(Editor, CallFilterGreysTheEnabledNumbers) {
    for (auto [byte, item] : {std::pair{0x00, 0}, {0x01, 1}, {0x7F, 1}, {0x00, 0}}) {
        image[EEAddr::CallFilter] = static_cast<std::uint8_t>(byte);
        form.LoadImageToControls();
        EXPECT_EQ(form.rgCallFilter->ItemIndex(), item);
        EXPECT_EQ(form.acgPhnrEnabled[3]->isEnabled(), item == 1) << byte;
        EXPECT_EQ(form.lbPhnrEnabled[0]->isEnabled(), item == 1) << byte;
    }
    // A load that keeps the selection runs no handler.
    form.acgPhnrEnabled[0]->setEnabled(true);
    form.LoadImageToControls();
    EXPECT_TRUE(form.acgPhnrEnabled[0]->isEnabled());

    form.rgCallFilter->Button(1)->click();
    EXPECT_TRUE(form.acgPhnrEnabled[1]->isEnabled());
    Type(form.acgPhnrEnabled[1], QStringLiteral("55"));
    form.rgCallFilter->Button(0)->click();
    EXPECT_FALSE(form.acgPhnrEnabled[1]->isEnabled());
    form.StoreControlsToImage();
    EXPECT_EQ(image[EEAddr::CallFilter], 0);
    EXPECT_EQ(image[EEAddr::PhnrEnabled2], 2);  // a greyed grid keeps and stores its digits
}

TEST_F(Editor, CallMaxStaysWithinItsRange) {
    form.udCallMax->SetPosition(24);
    Key(form.udCallMax, Qt::Key_Up);
    Key(form.udCallMax, Qt::Key_Up);
    EXPECT_EQ(form.udCallMax->Position(), 25);
    form.StoreControlsToImage();
    EXPECT_EQ(image[EEAddr::CallMax], 0x19);
    form.udCallMax->SetPosition(0);
    Key(form.udCallMax, Qt::Key_Down);
    EXPECT_EQ(form.udCallMax->Position(), 0);
}

TEST_F(Editor, BellFlagsBits) {
    image[EEAddr::BELLFlags] = 0x02;
    form.LoadImageToControls();
    EXPECT_EQ(form.rgBELLCallFilter->ItemIndex(), 0);
    EXPECT_TRUE(form.cbBELLcallback->isChecked());
    EXPECT_TRUE(form.acgBELLPhnrEnabled1->isEnabled());
    form.StoreControlsToImage();
    EXPECT_EQ(image[EEAddr::BELLFlags], 0x02);
    image[EEAddr::BELLFlags] = 0xFD;  // other bits are ignored
    form.LoadImageToControls();
    form.StoreControlsToImage();
    EXPECT_EQ(image[EEAddr::BELLFlags], 0x01);
}

// ---- GPRS ----

TEST_F(Editor, PresetsFillAndCustomValuesComeBack) {
    EXPECT_EQ(form.cbServiceProvider->count(), 5);
    EXPECT_EQ(form.cbServiceProvider->itemText(0), QStringLiteral("Egyéni beállítás"));
    form.edAPN->setFocus();
    Type(form.edAPN, QStringLiteral("my apn"));
    EXPECT_EQ(form.edAPN->text(), QStringLiteral("myapn"));  // the typed space had no effect
    Leave(form.edAPN);
    form.cbServiceProvider->setCurrentIndex(1);
    EXPECT_EQ(form.edAPN->text(), QStringLiteral("internet"));
    EXPECT_EQ(form.edUserName->text(), QString());
    EXPECT_FALSE(form.edAPN->isEnabled());
    EXPECT_FALSE(form.edPWD->isEnabled());
    StorePlainText(image, EEAddr::APN, "loaded", EEAddr::ApnCapacity);
    form.LoadImageToControls();
    EXPECT_EQ(form.edAPN->text(), QStringLiteral("loaded"));
    EXPECT_EQ(form.cbServiceProvider->currentIndex(), 1);  // the load leaves the selection
    form.cbServiceProvider->setCurrentIndex(0);
    EXPECT_TRUE(form.edAPN->isEnabled());
    EXPECT_EQ(form.edAPN->text(), QStringLiteral("myapn"));
    EXPECT_EQ(form.edPWD->text(), QString());
}

TEST_F(Editor, SwitchingWindowsDoesNotLeaveTheEdit) {
    Type(form.edUserName, QStringLiteral("kept"));
    Leave(form.edUserName);
    Type(form.edUserName, QStringLiteral("more"));
    for (auto reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(form.edUserName, &out);
    }
    form.cbServiceProvider->setCurrentIndex(1);
    form.cbServiceProvider->setCurrentIndex(0);
    EXPECT_EQ(form.edUserName->text(), QStringLiteral("kept"));
}

TEST_F(Editor, GprsTextsAreStoredWithoutSpacesAndQuotes) {
    // Cut to the 40 characters the edit holds, then the space goes: quotes wait for the store.
    QApplication::clipboard()->setText(QStringLiteral("a b\"c\"") + QString(40, QLatin1Char('x')));
    form.edAPN->paste();
    EXPECT_EQ(form.edAPN->text(), QStringLiteral("ab\"c\"") + QString(34, QLatin1Char('x')));
    Type(form.edUserName, QStringLiteral("us er"));
    Type(form.edPWD, QString(25, QLatin1Char('p')));
    form.StoreControlsToImage();
    EXPECT_EQ(image[EEAddr::APN], 37);
    EXPECT_EQ(LoadPlainText(image, EEAddr::APN, EEAddr::ApnCapacity),
              "abc" + std::string(34, 'x'));
    EXPECT_EQ(LoadPlainText(image, EEAddr::UserName, EEAddr::UserNameCapacity), "user");
    EXPECT_EQ(image[EEAddr::PWD], 20);
}

TEST_F(Editor, GprsModeClickEnablesTheSettings) {
    // The box starts clear with the settings enabled, and a load that keeps it clear runs nothing.
    image[EEAddr::GPRSmode] = 0;
    form.LoadImageToControls();
    EXPECT_TRUE(form.cbServiceProvider->isEnabled());
    form.cbGPRSmode->click();
    form.cbGPRSmode->click();
    EXPECT_FALSE(form.cbServiceProvider->isEnabled());
    EXPECT_FALSE(form.edUserName->isEnabled());
    EXPECT_FALSE(form.lbGPRS[3]->isEnabled());
    form.cbServiceProvider->setCurrentIndex(2);
    form.cbGPRSmode->click();
    EXPECT_TRUE(form.edAPN->isEnabled());  // even while a preset is selected
    EXPECT_TRUE(form.lbGPRS[1]->isEnabled());
    form.StoreControlsToImage();
    EXPECT_EQ(image[EEAddr::GPRSmode], 1);
    EXPECT_EQ(LoadPlainText(image, EEAddr::APN, EEAddr::ApnCapacity), "net");
}

TEST(SettingsPresetFile, ReplacesTheBuiltInList) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    {
        QFile file(QStringLiteral("APNs.dat"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Saj\xE1t \"\",\"\",\"\"\nNo quotes at all\r");
    }
    ParameterImage image;
    TSettingsForm form(image);
    QDir::setCurrent(previous);
    ASSERT_EQ(form.cbServiceProvider->count(), 2);
    EXPECT_EQ(form.cbServiceProvider->itemText(0), QStringLiteral("Saját"));
    form.edAPN->setText(QStringLiteral("x"));
    form.cbServiceProvider->setCurrentIndex(1);
    EXPECT_EQ(form.edAPN->text(), QString());
    EXPECT_EQ(form.edUserName->text(), QString());
    EXPECT_EQ(form.edPWD->text(), QString());
}

// ---- NOVIK ----

TEST_F(Editor, ReceiverAndIdentifiersAreStoredHighByteFirst) {
    const int octets[] = {192, 168, 1, 20};
    for (int f = 0; f < 4; ++f) form.IPAddressControl[1]->SetField(f, octets[f]);
    form.udPort[1]->SetPosition(5000);
    form.udPanelID->SetPosition(300);
    form.StoreControlsToImage();
    const std::uint8_t expected[] = {0xC0, 0xA8, 0x01, 0x14, 0x13, 0x88, 0x00, 0x00};
    for (std::size_t k = 0; k < 8; ++k) EXPECT_EQ(image[970 + k], expected[k]) << k;
    EXPECT_EQ(image[960], 0x01);
    EXPECT_EQ(image[961], 0x2C);
}

TEST_F(Editor, NumbersBeyondTheSpinRangeShowTheNearestLegalValue) {
    StoreWord(image, EEAddr::Port(3), 40000);
    StoreWord(image, EEAddr::PanelID, 32767);
    form.LoadImageToControls();
    EXPECT_EQ(form.udPort[2]->Position(), 32767);
    EXPECT_EQ(form.udPort[2]->text(), QStringLiteral("32767"));
    const QString id = form.udPanelID->text();
    EXPECT_NE(id, QStringLiteral("32767"));  // the identifiers show a thousands separator
    EXPECT_EQ(QString(id).remove(QRegularExpression(QStringLiteral("[^0-9]"))), QStringLiteral("32767"));
    form.udServerID->selectAll();
    Type(form.udServerID, QStringLiteral("12345"));
    Key(form.udServerID, Qt::Key_Return);
    EXPECT_EQ(form.udServerID->Position(), 12345);
    form.udPort[2]->selectAll();
    Type(form.udPort[2], QStringLiteral("99999"));
    EXPECT_LE(form.udPort[2]->Position(), 32767);
}

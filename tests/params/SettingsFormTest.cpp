// The editor as a whole: load and store of every field, the window's life cycle and the pages
// that the product variant hides.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QTabWidget>
#include <cstring>
#include <map>
#include <random>
#include <set>

#include "params/EEAddr.h"
#include "params/FieldCatalog.h"
#include "params/ImageFields.h"
#include "params/SettingsForm.h"
#include "params/SettingsTestSupport.h"
#include "widgets/IPAddressControl.h"
#include "widgets/RadioGroup.h"
#include "widgets/UpDownEdit.h"

using namespace orbiqa;
using namespace orbiqa::test;

namespace {

void Expect(const ParameterImage& image, std::size_t offset, std::initializer_list<int> bytes) {
    for (int b : bytes) {
        EXPECT_EQ(image[offset], b) << "at offset " << offset;
        ++offset;
    }
}

void ExpectRun(const ParameterImage& image, std::size_t offset, std::size_t n, int byte) {
    for (std::size_t k = 0; k < n; ++k) EXPECT_EQ(image[offset + k], byte) << "at " << offset + k;
}

}  // namespace

TEST(SettingsForm, ErasedImageIsStoredInNormalisedForm) {
    ParameterImage image;  // all 0xFF
    TSettingsForm form(image);
    form.LoadImageToControls();
    EXPECT_EQ(form.edSMS[0]->text(), QString());
    EXPECT_EQ(form.rgCallFilter->ItemIndex(), 1);
    EXPECT_EQ(form.rgBELLCallFilter->ItemIndex(), 1);
    EXPECT_TRUE(form.cbBELLcallback->isChecked());
    EXPECT_FALSE(form.cbGPRSmode->isChecked());
    EXPECT_FALSE(form.cbVoiceCaller->isChecked());
    // Values the controls cannot show are held to their ranges.
    EXPECT_EQ(form.udCallMax->Position(), 25);
    EXPECT_EQ(form.udPort[0]->Position(), 32767);
    EXPECT_EQ(form.udServerID->Position(), 32767);

    form.StoreControlsToImage();
    for (std::size_t offset : {0, 17, 34, 51, 68, 143, 160, 177, 194, 842, 859}) {
        Expect(image, offset, {0xFF});
        ExpectRun(image, offset + 1, 16, 0x00);
    }
    for (std::size_t offset : {85, 102}) {
        ExpectRun(image, offset, 9, 0x00);
        ExpectRun(image, offset + 9, 8, 0xFF);
    }
    ExpectRun(image, 283, 20, 0xFF);
    for (std::size_t n = 0; n < 10; ++n) {
        Expect(image, 309 + 41 * n, {0});
        ExpectRun(image, 310 + 41 * n, 40, ' ');
    }
    Expect(image, 211, {1});
    Expect(image, 282, {25});
    Expect(image, 876, {3, 0});
    Expect(image, 878, {0});
    ExpectRun(image, 879, 37, ' ');
    Expect(image, 916, {0});
    ExpectRun(image, 917, 20, ' ');
    Expect(image, 937, {0});
    ExpectRun(image, 938, 20, ' ');
    Expect(image, 958, {0});
    Expect(image, 960, {0x7F, 0xFF});
    for (std::size_t n = 0; n < 4; ++n)
        Expect(image, 962 + 8 * n, {0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x00, 0x00});
    Expect(image, 1026, {0x7F, 0xFF});
    // Bytes that no field covers.
    for (auto [from, n] : {std::pair{119, 24}, {212, 70}, {303, 6}, {719, 123}, {959, 1},
                           {994, 32}, {1028, 60}})
        ExpectRun(image, static_cast<std::size_t>(from), static_cast<std::size_t>(n), 0xFF);
}

TEST(SettingsForm, AnyImageLoadsAndStoresStably) {
    std::mt19937 random(4);
    for (int round = 0; round < 25; ++round) {
        ParameterImage image;
        for (auto& byte : image) byte = static_cast<std::uint8_t>(random());
        TSettingsForm form(image);
        form.LoadImageToControls();
        form.StoreControlsToImage();
        const ParameterImage once = image;
        form.LoadImageToControls();
        form.StoreControlsToImage();
        EXPECT_EQ(image, once) << "round " << round;  // a stored image is a fixed point
    }
}

namespace {

// Every field as the editor's controls show it, in the field catalog's forms.
std::map<std::string, std::string> EditorValues(const TSettingsForm& form) {
    std::map<std::string, std::string> values;
    const auto digits = [](const TDigitGrid* grid) {
        std::string text;
        for (const auto& cell : grid->Cells()) text += cell;
        return text;
    };
    const auto onOff = [](bool on) { return std::string(on ? "on" : "off"); };
    values["AUTODIAL"] = digits(form.acgAUTODIAL);
    values["SMSFW1"] = digits(form.acgSMSFW1);
    values["SMSFW2"] = digits(form.acgSMSFW2);
    values["USER1"] = digits(form.acgUSER1);
    values["USER2"] = digits(form.acgUSER2);
    values["NETPREFIX"] = digits(form.acgNETPREFIX);
    values["ADDFIX"] = digits(form.acgADDFIX);
    for (std::size_t k = 0; k < 4; ++k)
        values["PhnrEnabled" + std::to_string(k + 1)] = digits(form.acgPhnrEnabled[k]);
    values["CallFilter"] = onOff(form.rgCallFilter->ItemIndex() == 1);
    values["CallMax"] = std::to_string(form.udCallMax->Position());
    for (std::size_t k = 0; k < EEAddr::EventCount; ++k) {
        std::string code;
        for (const auto& cell : form.acgEvent[k]->Cells()) code += cell == " " ? "?" : cell;
        values["Event" + std::to_string(k + 1)] = code == "????" ? "" : code;
        values["SMS" + std::to_string(k + 1)] = form.edSMS[k]->text().toStdString();
    }
    values["BELLPhnrEnabled1"] = digits(form.acgBELLPhnrEnabled1);
    values["BELLPhnrEnabled2"] = digits(form.acgBELLPhnrEnabled2);
    values["BELLOnlyListedNumbers"] = onOff(form.rgBELLCallFilter->ItemIndex() == 1);
    values["BELLCallback"] = onOff(form.cbBELLcallback->isChecked());
    values["VoiceCaller"] = onOff(form.cbVoiceCaller->isChecked());
    values["APN"] = form.edAPN->text().toStdString();
    values["UserName"] = form.edUserName->text().toStdString();
    values["PWD"] = form.edPWD->text().toStdString();
    values["GPRSmode"] = onOff(form.cbGPRSmode->isChecked());
    values["PanelID"] = std::to_string(form.udPanelID->Position());
    for (std::size_t k = 0; k < EEAddr::ReceiverCount; ++k) {
        std::string receiver;
        for (int f = 0; f < 4; ++f)
            receiver += std::to_string(form.IPAddressControl[k]->Field(f)) + (f < 3 ? "." : ":");
        values["Receiver" + std::to_string(k + 1)] = receiver + std::to_string(form.udPort[k]->Position());
    }
    values["ServerID"] = std::to_string(form.udServerID->Position());
    return values;
}

// A random image whose every value the editor's controls can hold: numbers within their ranges,
// texts of characters that the store keeps, event codes of symbols the grid shows.
ParameterImage EditableImage(std::mt19937& random) {
    ParameterImage image;
    for (auto& byte : image) byte = static_cast<std::uint8_t>(random());
    const auto text = [&](std::size_t offset, std::size_t capacity, bool plain) {
        image[offset] = static_cast<std::uint8_t>(random() % (capacity + 1));
        for (std::size_t i = 1; i <= capacity; ++i) {
            const char* chars = plain ? "apn.01-_XYZ\xE1\xF5" : "Riaszt\xE1s 1-2 \xFB\xDC";
            image[offset + i] = static_cast<std::uint8_t>(chars[random() % std::strlen(chars)]);
        }
    };
    for (std::size_t n = 1; n <= EEAddr::EventCount; ++n) {
        text(EEAddr::SMS(n), EEAddr::SmsTextLength, false);
        for (std::size_t b = 0; b < 2; ++b)
            image[EEAddr::Event(n) + b] =
                static_cast<std::uint8_t>((random() % 11) * 16 + random() % 11);
        if (random() % 4 == 0) image[EEAddr::Event(n)] = image[EEAddr::Event(n) + 1] = 0xFF;
    }
    text(EEAddr::APN, EEAddr::ApnCapacity, true);
    text(EEAddr::UserName, EEAddr::UserNameCapacity, true);
    text(EEAddr::PWD, EEAddr::PwdCapacity, true);
    image[EEAddr::CallMax] = static_cast<std::uint8_t>(random() % (EEAddr::CallMaxLimit + 1));
    for (std::size_t offset : {EEAddr::PanelID, EEAddr::ServerID, EEAddr::Port(1), EEAddr::Port(2),
                               EEAddr::Port(3), EEAddr::Port(4)})
        image[offset] &= 0x7F;
    return image;
}

}  // namespace

TEST(SettingsForm, EditorAndFieldCatalogReadAndStoreEveryImageAlike) {
    std::mt19937 random(17);
    for (int round = 0; round < 60; ++round) {
        const ParameterImage original = EditableImage(random);
        ParameterImage byEditor = original;
        TSettingsForm form(byEditor);
        form.LoadImageToControls();
        const auto shown = EditorValues(form);
        ParameterImage byCatalog = original;
        ASSERT_EQ(shown.size(), AllFields().size());
        for (const FieldValue& value : DecodeImage(original)) {
            ASSERT_EQ(shown.at(value.name), value.text) << value.name << ", round " << round;
            ASSERT_EQ(SetFieldValue(byCatalog, value.name, value.text), std::nullopt) << value.name;
        }
        form.StoreControlsToImage();
        ASSERT_EQ(byEditor, byCatalog) << "round " << round;
    }
}

TEST(SettingsForm, CancelAndCloseLeaveTheImageAlone) {
    ParameterImage image;
    TSettingsForm form(image);
    const ParameterImage before = image;
    for (auto close : {+[](TSettingsForm& f) { f.btSettingCancel->click(); },
                       +[](TSettingsForm& f) { f.close(); }}) {
        form.LoadImageToControls();
        form.open();
        Type(form.acgUSER1, QStringLiteral("123"));
        Type(form.edSMS[0], QStringLiteral("xyz"));
        form.cbVoiceCaller->click();
        close(form);
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.result(), QDialog::Rejected);
        EXPECT_EQ(image, before);
    }
    // Abandoned edits stay in the controls until the next load replaces them.
    form.open();
    form.btSettingOK->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(image[EEAddr::USER1], 3);
    EXPECT_EQ(image[EEAddr::VoiceCaller], 1);
}

// Enter on the focused button presses it, as in the program's other windows; keypad Enter too.
TEST(SettingsForm, EnterPressesTheFocusedButton) {
    ParameterImage image;
    TSettingsForm form(image);
    form.LoadImageToControls();
    form.open();
    Type(form.acgUSER1, QStringLiteral("123"));
    const auto enter = [](QWidget* button, int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, QStringLiteral("\r"));
        QApplication::sendEvent(button, &press);
    };
    enter(form.btSettingOK, Qt::Key_Return, Qt::NoModifier);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(image[EEAddr::USER1], 3);

    form.open();
    enter(form.btSettingCancel, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

TEST(SettingsForm, HiddenPagesStillCarryTheirFields) {
    ParameterImage image;
    StorePlainText(image, EEAddr::APN, "abc", EEAddr::ApnCapacity);
    image[EEAddr::GPRSmode] = 1;
    for (std::size_t k = 0; k < 4; ++k) image[EEAddr::IP(1) + k] = static_cast<std::uint8_t>(k + 1);
    StoreWord(image, EEAddr::Port(1), 80);
    TSettingsForm form(image);
    form.DetachVariantPages();
    form.DetachVariantPages();
    ASSERT_EQ(form.PageControl1->count(), 4);
    EXPECT_EQ(form.PageControl1->tabText(3), QStringLiteral("Bell 103"));
    form.LoadImageToControls();
    image[EEAddr::APN] = 0xEE;
    image[EEAddr::IP(1)] = 0xEE;
    image[EEAddr::Port(1)] = 0xEE;
    form.StoreControlsToImage();
    EXPECT_EQ(LoadPlainText(image, EEAddr::APN, EEAddr::ApnCapacity), "abc");
    Expect(image, EEAddr::IP(1), {1, 2, 3, 4, 0, 80, 0, 0});
    Expect(image, EEAddr::GPRSmode, {1});
}

TEST(SettingsForm, WindowAndPages) {
    ParameterImage image;
    TSettingsForm form(image);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Orbiqa  -  Beállítások"));
    EXPECT_EQ(form.size(), QSize(457, 427));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_TRUE(form.isModal());
    const QStringList captions = {QStringLiteral("Telefonszámok"), QStringLiteral("SMS szövegek"),
                                  QStringLiteral("Híváskorlátozás"), QStringLiteral("Bell 103"),
                                  QStringLiteral("GPRS"), QStringLiteral("NOVIK")};
    ASSERT_EQ(form.PageControl1->count(), captions.size());
    for (int k = 0; k < captions.size(); ++k) EXPECT_EQ(form.PageControl1->tabText(k), captions[k]);
    EXPECT_EQ(form.PageControl1->currentWidget(), form.TabSheetPhone);
    EXPECT_TRUE(form.btSettingOK->font().bold());
    EXPECT_FALSE(form.btSaveSettings->isVisibleTo(&form));
}

TEST(SettingsForm, ControlsCarryTheirNamesAndAccessibleNames) {
    ParameterImage image;
    TSettingsForm form(image);
    for (const char* name :
         {"PageControl1", "TabSheetPhone", "TabSheetNOVIK", "btSettingOK", "btSettingCancel",
          "acgUSER1", "acgADDFIX", "cbVoiceCaller", "acgEvent10", "edSMS10", "gbCallFilter",
          "rgCallFilter", "lbPhnrEnabled4", "acgPhnrEnabled4", "udCallMax", "edCallMax", "gbBell103",
          "rgBELLCallFilter", "acgBELLPhnrEnabled2", "cbBELLcallback", "cbGPRSmode",
          "cbServiceProvider", "edAPN", "edUserName", "edPWD", "btSaveSettings",
          "IPAddressControl4", "udPort4", "edPort4", "udPanelID", "edPanelID", "udServerID",
          "edCentralID"})
        EXPECT_NE(form.findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
    EXPECT_EQ(form.acgUSER1->accessibleName(), QStringLiteral("1. Felhasználó  (#USER1)"));
    EXPECT_EQ(form.acgADDFIX->accessibleName(),
              QStringLiteral("GSM módban hívott telefonszám elé hozzáadandó prefix (#ADDFIX)"));
    EXPECT_EQ(form.edAPN->accessibleName(), QStringLiteral("APN"));
    EXPECT_EQ(form.udCallMax->accessibleName(),
              QStringLiteral("Bejövő hívás idejének korlátozása (0-25 perc)"));
    EXPECT_EQ(form.IPAddressControl[2]->accessibleName(), QStringLiteral("3. IP cím"));
    EXPECT_EQ(form.rgCallFilter->accessibleName(), QStringLiteral("Bejövő beszédhívás korlátozása"));
    EXPECT_EQ(form.btSettingCancel->accessibleName(), QStringLiteral("Beállítások Visszavonása"));
}

// The captions a compare names the settings by are the editor's own: each field's control is
// called what the catalog calls the field, and no two fields read alike in a list.
TEST(SettingsForm, EveryFieldIsCaptionedAsItsControl) {
    ParameterImage image;
    TSettingsForm form(image);
    const std::map<std::string, QString> controls = {
        {"CallFilter", "rgCallFilter"},      {"CallMax", "udCallMax"},
        {"BELLOnlyListedNumbers", "rgBELLCallFilter"}, {"BELLCallback", "cbBELLcallback"},
        {"VoiceCaller", "cbVoiceCaller"},    {"APN", "edAPN"},
        {"UserName", "edUserName"},          {"PWD", "edPWD"},
        {"GPRSmode", "cbGPRSmode"},          {"PanelID", "udPanelID"},
        {"ServerID", "udServerID"}};
    std::set<std::string> titles;
    for (const FieldInfo& field : AllFields()) {
        QString control = QStringLiteral("acg") + QString::fromStdString(field.name);
        if (const auto it = controls.find(field.name); it != controls.end()) control = it->second;
        else if (field.name.starts_with("SMS") && !field.name.starts_with("SMSFW"))
            control = QStringLiteral("ed") + QString::fromStdString(field.name);
        else if (field.name.starts_with("Receiver"))
            control = QStringLiteral("IPAddressControl") + QString::fromStdString(field.name.substr(8));
        const auto* widget = form.findChild<QWidget*>(control);
        ASSERT_NE(widget, nullptr) << field.name;
        const QString caption = QString::fromStdString(FieldCaption(field.name));
        EXPECT_FALSE(caption.isEmpty()) << field.name;
        EXPECT_EQ(widget->accessibleName().simplified(), caption.simplified()) << field.name;
        EXPECT_TRUE(FieldPage(field.name).has_value()) << field.name;
        EXPECT_TRUE(titles.insert(FieldTitle(field.name)).second) << FieldTitle(field.name);
    }
    // Same caption on two pages: the page tells them apart. Layout spaces do not reach a list.
    EXPECT_EQ(FieldTitle("PhnrEnabled1"), "1. Engedélyezett hívószám (Híváskorlátozás)");
    EXPECT_EQ(FieldTitle("bellphnrenabled1"), "1. Engedélyezett hívószám (Bell 103)");
    EXPECT_EQ(FieldTitle("USER1"), "1. Felhasználó (#USER1)");
    EXPECT_EQ(FieldTitle("Event10"), "10. eseménykód");
    EXPECT_EQ(FieldTitle("NoSuchField"), "NoSuchField");
    EXPECT_EQ(FieldCaption("NoSuchField"), "");
    EXPECT_EQ(form.TabSheetBELL103->accessibleName(), QString::fromStdString(PageCaption(EditorPage::Bell103)));
}

TEST(SettingsForm, RenderedPagesHaveTheDialogSize) {
    const QString dir = QDir::temp().filePath(QStringLiteral("orbiqa-settings-pages"));
    const QStringList files = RenderSettingsPages(dir);
    ASSERT_EQ(files.size(), 6);
    for (const QString& file : files) EXPECT_EQ(QImage(file).size(), QSize(457, 427)) << file.toStdString();
    QDir(dir).removeRecursively();
}

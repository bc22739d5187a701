// Pictures of the editor's pages for the documentation and for reviewing the layout.
#include <QDir>
#include <QPixmap>
#include <QTabWidget>

#include "params/ImageFields.h"
#include "params/SettingsForm.h"

namespace orbiqa {

namespace {

GridCells Digits(const std::string& digits) {
    GridCells cells;
    for (char c : digits) cells.emplace_back(1, c);
    return cells;
}

// An image with a little of everything filled in, so that the pictures show real content.
ParameterImage SampleImage() {
    ParameterImage image;
    StoreDigitField(image, EEAddr::USER1, Digits("36301234567"), EEAddr::LongNumberDigits);
    StoreDigitField(image, EEAddr::SMSFW1, Digits("36209876543"), EEAddr::LongNumberDigits);
    StoreDigitField(image, EEAddr::NETPREFIX, Digits("9"), EEAddr::ShortNumberDigits);
    StoreDigitField(image, EEAddr::ADDFIX, {}, EEAddr::ShortNumberDigits);
    StoreEventCode(image, EEAddr::Event(1), Digits("1130"));
    StoreSmsText(image, EEAddr::SMS(1), "Riaszt\xE1s: $");
    StoreEventCode(image, EEAddr::Event(2), Digits("1*30"));
    StoreSmsText(image, EEAddr::SMS(2), "T\xE1pfesz\xFClts\xE9g hiba $");
    image[EEAddr::CallFilter] = 1;
    StoreDigitField(image, EEAddr::PhnrEnabled1, Digits("301112222"), EEAddr::LongNumberDigits);
    image[EEAddr::CallMax] = 5;
    image[EEAddr::BELLFlags] = EEAddr::BellCallback;
    StorePlainText(image, EEAddr::APN, "internet", EEAddr::ApnCapacity);
    StorePlainText(image, EEAddr::UserName, "", EEAddr::UserNameCapacity);
    StorePlainText(image, EEAddr::PWD, "", EEAddr::PwdCapacity);
    image[EEAddr::GPRSmode] = 1;
    const std::uint8_t receiver[] = {192, 168, 1, 20};
    for (std::size_t k = 0; k < 4; ++k) image[EEAddr::IP(1) + k] = receiver[k];
    StoreWord(image, EEAddr::Port(1), 5000);
    for (std::size_t n = 2; n <= EEAddr::ReceiverCount; ++n) {
        for (std::size_t k = 0; k < 4; ++k) image[EEAddr::IP(n) + k] = 0;
        StoreWord(image, EEAddr::Port(n), 0);
    }
    StoreWord(image, EEAddr::PanelID, 1234);
    StoreWord(image, EEAddr::ServerID, 12345);
    return image;
}

}  // namespace

QStringList RenderSettingsPages(const QString& dir) {
    ParameterImage image = SampleImage();
    TSettingsForm form(image);
    form.setAttribute(Qt::WA_DontShowOnScreen);
    form.LoadImageToControls();
    form.show();
    QStringList written;
    QDir().mkpath(dir);
    const char* names[] = {"telefonszamok", "sms", "hivaskorlatozas", "bell103", "gprs", "novik"};
    for (int k = 0; k < form.PageControl1->count(); ++k) {
        form.PageControl1->setCurrentIndex(k);
        const QString file =
            QDir(dir).filePath(QStringLiteral("settings-%1-%2.png").arg(k + 1).arg(QLatin1String(names[k])));
        if (form.grab().save(file)) written << file;
    }
    form.hide();
    return written;
}

}  // namespace orbiqa

// The first session of a newcomer, through the real windows and the real link against the
// simulated module: read the parameters, edit an SMS text in the editor, write them back,
// compare, save a parameter file and open it again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "ModsimSession.h"
#include "params/EEAddr.h"
#include "params/ImageFields.h"
#include "params/ParameterImage.h"
#include "params/SettingsForm.h"
#include "support/PrivateSettingsFolder.h"
#include "transfer/DownloadForm.h"
#include "widgets/QtText.h"

using namespace orbiqa;

namespace {

void Type(QWidget* w, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

}  // namespace

TEST(NewcomerStory, ReadEditWriteCompareSaveAndOpen) {
    if (!QFile::exists(bench::ModsimProgram())) GTEST_SKIP() << "orbiqa-modsim not built";
    testsupport::PrivateSettingsFolder config;
    QTemporaryDir files;
    const QString parameterFile = files.filePath(QStringLiteral("first.VR3"));

    bench::ModsimProcess sim;
    bench::TransferSession session(sim.Start({QStringLiteral("--fast"), QStringLiteral("--texts"), QStringLiteral("off")}));

    ParameterImage image;
    TSettingsForm settings(image);
    const QString newText = QString::fromUtf8("Betörés a műhelyben $");
    TFormDownload::Hooks hooks;
    hooks.openEditor = [&] {
        settings.LoadImageToControls();
        QTimer::singleShot(0, &settings, [&] {
            settings.edSMS[0]->setFocus();
            settings.edSMS[0]->clear();
            Type(settings.edSMS[0], newText);
            settings.btSettingOK->click();
        });
        settings.exec();
    };
    hooks.showMessage = [](const QString& text) { ADD_FAILURE() << "unexpected box: " << text.toStdString(); };
    hooks.chooseFile = [&](TFormDownload::FileDialogKind, const QString&) { return parameterFile; };
    TFormDownload form(session, ImageBytes(image.data(), kParameterImageSize), hooks);

    form.btReadClick();
    EXPECT_EQ(form.BarPosition(), 15);
    EXPECT_EQ(form.Colour(), BarColour::Green);

    form.btEditClick();
    EXPECT_EQ(FromWin1250(LoadSmsText(image, EEAddr::SMS(1))), newText);

    form.btWriteClick();
    EXPECT_EQ(form.BarPosition(), 15);
    EXPECT_EQ(form.Colour(), BarColour::Green);
    form.btCompareClick();
    EXPECT_EQ(form.BarPosition(), 15) << "a compare after the write finds every block equal";
    EXPECT_EQ(form.Colour(), BarColour::Green);

    form.btSaveClick();
    const ParameterImage saved = image;
    image.Fill(0x00);
    form.btOpenClick();
    EXPECT_TRUE(image == saved);
    EXPECT_EQ(form.BarPosition(), 12);

    // A fresh read shows that the module itself now holds the new text.
    form.btReadClick();
    EXPECT_EQ(FromWin1250(LoadSmsText(image, EEAddr::SMS(1))), newText);
}

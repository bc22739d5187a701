// The transfer window from the keyboard: Enter starts a transfer as Space does, the focus waits
// on Stop and comes back to the starting button, and the outcome is said.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "FakeModule.h"
#include "support/RecordingAnnouncer.h"
#include "transfer/DownloadForm.h"

namespace orbiqa {
namespace {

struct DownloadKeyboardTest : ::testing::Test {
    test::FakeModule module;
    std::array<std::uint8_t, kParameterImageSize> image{};
    std::unique_ptr<TFormDownload> form;
    test::RecordingAnnouncer announcer;
    QWidget* focusDuringTransfer = nullptr;
    int messages = 0;

    void SetUp() override {
        TFormDownload::Hooks hooks;
        hooks.showMessage = [this](const QString&) { ++messages; };
        form = std::make_unique<TFormDownload>(module, image, hooks);
        form->Waiter().Timer1().setInterval(2);  // run a missing answer's wait out quickly
        module.onSend = [this] {
            QTimer::singleShot(0, form.get(), [this] {
                focusDuringTransfer = QApplication::focusWidget();
                module.Deliver();
            });
        };
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    QPushButton* Button(const char* name) {
        return form->findChild<QPushButton*>(QString::fromLatin1(name));
    }
};

}  // namespace

TEST_F(DownloadKeyboardTest, EnterStartsTheFocusedTransferAndTheFocusComesBackToIt) {
    Button("btRead")->setFocus();
    QTest::keyClick(Button("btRead"), Qt::Key_Return);
    EXPECT_EQ(focusDuringTransfer, Button("btStop"));
    EXPECT_EQ(QApplication::focusWidget(), Button("btRead"));
    EXPECT_EQ(announcer.Take(), QStringList{QString::fromUtf8("Beolvasás kész")});

    module.silentFromBlock = 3;
    Button("btCompare")->setFocus();
    QTest::keyClick(Button("btCompare"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(QApplication::focusWidget(), Button("btCompare"));
    EXPECT_EQ(announcer.Take(), QStringList{QString::fromUtf8("Nincs válasz (blokk 3)")});
}

TEST_F(DownloadKeyboardTest, WithThePortClosedTheFocusStaysAndNothingIsSaid) {
    module.connected = false;
    Button("btWrite")->setFocus();
    QTest::keyClick(Button("btWrite"), Qt::Key_Return);
    EXPECT_EQ(messages, 1);
    EXPECT_EQ(QApplication::focusWidget(), Button("btWrite"));
    EXPECT_TRUE(announcer.Take().isEmpty());
}

}  // namespace orbiqa

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QPushButton>
#include <QTest>

#include "diag/LogMemoView.h"
#include "FakeSerialDevice.h"
#include "link/EComPort.h"
#include "link/ModuleLink.h"
#include "link/QtHandoverPump.h"
#include "status/State.h"
#include "support/RecordingAnnouncer.h"

using namespace orbiqa;

namespace {

struct StateFormFixture : ::testing::Test {
    FakeSerialDevice* device = nullptr;
    std::unique_ptr<ModuleLink> link;
    std::unique_ptr<QtHandoverPump> pump;
    std::unique_ptr<TStateForm> form;

    void SetUp() override {
        auto d = std::make_unique<FakeSerialDevice>();
        device = d.get();
        link = std::make_unique<ModuleLink>(std::move(d));
        pump = std::make_unique<QtHandoverPump>(link->ComPort1());
        form = std::make_unique<TStateForm>(*link);
    }
    void TearDown() override {
        form.reset();
        link->ComPort1().SetConnected(false);
    }

    static void Wait(int ms) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QLabel* Label(const char* name) { return form->findChild<QLabel*>(name); }
    QColor Colour(const char* name) { return Label(name)->palette().color(QPalette::WindowText); }
    std::string Written() {
        const auto bytes = device->TakeWritten();
        return std::string(bytes.begin(), bytes.end());
    }
};

}  // namespace

TEST_F(StateFormFixture, PollsExactlyWhileShownStartingHalfASecondAfterShowing) {
    link->ComPort1().SetConnected(true);
    for (int showing = 0; showing < 2; ++showing) {
        QElapsedTimer sinceShown;
        form->show();
        sinceShown.start();
        std::string written;
        QDeadlineTimer deadline(3000);
        while (written.empty() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            written = Written();
        }
        EXPECT_EQ(written, "??\r");
        EXPECT_GE(sinceShown.elapsed(), 450);  // Qt's coarse timers may fire up to 5 % early

        form->findChild<QPushButton*>("btClose")->click();
        EXPECT_FALSE(form->isVisible());
        Wait(700);
        EXPECT_EQ(Written(), "");
    }
}

TEST_F(StateFormFixture, MinimisingKeepsThePollRunning) {
    form->show();
    ASSERT_TRUE(form->TimerState().isActive());
    form->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->TimerState().isActive());
    form->setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(form->TimerState().isActive());
    form->close();
    EXPECT_FALSE(form->TimerState().isActive());
}

TEST_F(StateFormFixture, PollingAClosedPortSendsNothingAndKeepsTheState) {
    form->ModuleStatusReceived({0x11, 20, 2, 0});
    form->show();
    Wait(650);
    EXPECT_EQ(Written(), "");
    EXPECT_TRUE(form->TimerState().isActive());
    EXPECT_EQ(Label("lbIN1")->text(), QString::fromUtf8("Rövidzár"));
}

// An adapter pulled out whose driver never ends the pending wait shows itself first as a failed
// poll: that is the loss, said once by the main window, not an error box at every tick. A write
// that fails while the device is still there keeps its error.
TEST_F(StateFormFixture, APollThatFindsTheDeviceGoneIsTheLossNotAnError) {
    TComPort& port = link->ComPort1();
    int lost = 0;
    port.OnDeviceLost = [&](TComPort& p) {
        ++lost;
        p.SetConnected(false);
    };
    port.SetConnected(true);
    device->Fail().write = EIO;
    EXPECT_THROW(form->TimerStateTimer(), EComPort);
    EXPECT_FALSE(port.DeviceGone());

    device->Fail().pending = EIO;
    device->Fail().purge = EIO;
    EXPECT_NO_THROW(form->TimerStateTimer());
    EXPECT_TRUE(port.DeviceGone());
    EXPECT_NO_THROW(form->TimerStateTimer());
    QDeadlineTimer deadline(5000);
    while (lost == 0 && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    Wait(50);
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(port.Connected());
    EXPECT_NO_THROW(form->TimerStateTimer());  // closed now: the poll sends nothing
    port.OnDeviceLost = nullptr;
}

TEST_F(StateFormFixture, StatusIsShownWhileHiddenWithTheTableColours) {
    ASSERT_FALSE(form->isVisible());
    EXPECT_EQ(Label("lbIN1")->text(), ".");
    EXPECT_EQ(Label("lbGSMpowVal")->text(), "0");

    form->ModuleStatusReceived({0x11, 99, 2, 7});
    EXPECT_EQ(form->ModuleStatusBytes[3], 7);
    EXPECT_EQ(Colour("lbIN1"), QColor(255, 0, 0));
    EXPECT_EQ(Label("lbLineVoltage")->text(), "Vonal rendben");
    EXPECT_EQ(Colour("lbLineVoltage"), QColor(0, 128, 0));
    EXPECT_EQ(Label("lbGSMLine")->text(), QString::fromUtf8("Kimenő hívás folyamatban 2"));
    EXPECT_EQ(Colour("lbGSMLine"), QColor(0, 128, 0));
    EXPECT_EQ(Label("lbGSMpowVal")->text(), "99");
    EXPECT_EQ(form->findChild<QProgressBar*>("pbTerero")->value(), 31);

    form->ModuleStatusReceived({0x00, 5, 3, 0});
    EXPECT_EQ(Label("lbIN1")->text(), "Nyitva");
    EXPECT_EQ(Colour("lbIN1"), QColor(0, 0, 0));
    EXPECT_EQ(Colour("lbLineVoltage"), QColor(255, 0, 0));
    EXPECT_EQ(Colour("lbGSMLine"), QColor(0, 0, 255));
    EXPECT_EQ(form->findChild<QProgressBar*>("pbTerero")->value(), 5);
}

TEST_F(StateFormFixture, ValuesAreSaidOnceWhenShownAndThenOnlyWhenTheyChange) {
    test::RecordingAnnouncer announcer;
    const QString all = QString::fromUtf8(
        "IN1: Rövidzár, Vezetékes vonal: Vonal rendben, GSM vonal státusz: Kimenő hívás folyamatban 2, "
        "GSM térerő: 17");
    form->ModuleStatusReceived({0x11, 17, 2, 0});
    EXPECT_TRUE(announcer.Take().isEmpty()) << "said while hidden";

    // Known values are said once the window is active; a status arriving then repeats nothing.
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Wait(50);
    EXPECT_EQ(announcer.Take(), QStringList{all});
    for (int poll = 0; poll < 3; ++poll) form->ModuleStatusReceived({0x11, 17, 2, 0});
    Wait(50);
    EXPECT_TRUE(announcer.Take().isEmpty());

    form->ModuleStatusReceived({0x11, 18, 2, 0});
    form->ModuleStatusReceived({0x01, 18, 9, 0});
    EXPECT_EQ(announcer.Take(),
              (QStringList{QString::fromUtf8("GSM térerő: 18"),
                           QString::fromUtf8("Vezetékes vonal: Nincs vonal, GSM vonal státusz: Hívás vége. 9")}));

    // Hidden, changes are not said; shown again, every value is said once more.
    form->hide();
    form->ModuleStatusReceived({0x00, 18, 9, 0});
    EXPECT_TRUE(announcer.Take().isEmpty());
    form->show();
    form->ModuleStatusReceived({0x00, 18, 9, 0});
    EXPECT_EQ(announcer.Take(),
              QStringList{QString::fromUtf8(
                  "IN1: Nyitva, Vezetékes vonal: Nincs vonal, GSM vonal státusz: Hívás vége. 9, GSM térerő: 18")});
}

TEST_F(StateFormFixture, TheSignalBarIsALevelOfZeroToThirtyOneNotAPercentage) {
    form->ModuleStatusReceived({0x00, 20, 0, 0});
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(form->findChild<QProgressBar*>("pbTerero"));
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(bar->valueInterface(), nullptr);
    EXPECT_EQ(bar->role(), QAccessible::Slider);
    EXPECT_TRUE(bar->state().readOnly);
    EXPECT_EQ(bar->text(QAccessible::Name), QString::fromUtf8("GSM térerő sáv"));
    EXPECT_EQ(bar->text(QAccessible::Value), "20");
    EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), 20);
    EXPECT_EQ(bar->valueInterface()->minimumValue().toInt(), 0);
    EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 31);
    EXPECT_EQ(bar->valueInterface()->minimumStepSize().toInt(), 1);
}

TEST_F(StateFormFixture, TheTwoButtonsKeepTheirNamesCaptionsAndPlaces) {
    const struct {
        const char* name;
        const char* caption;
        QRect geometry;
    } buttons[] = {
        {"btClearMsg", "Üzenetablak törlése", {8, 262, 172, 25}},
        {"btClose", "Ablak bezárása", {188, 262, 172, 25}},
    };
    for (const auto& b : buttons) {
        const auto* button = form->findChild<QPushButton*>(b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(b.caption));
        EXPECT_EQ(button->accessibleName(), QString::fromUtf8(b.caption));
        EXPECT_TRUE(button->font().bold()) << b.name;
        EXPECT_EQ(button->font().pointSize(), form->font().pointSize()) << b.name;
        EXPECT_EQ(button->geometry(), b.geometry) << b.name;
    }
}

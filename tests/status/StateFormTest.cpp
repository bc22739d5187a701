#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "diag/LogMemoView.h"
#include "FakeSerialDevice.h"
#include "link/ModuleLink.h"
#include "link/QtHandoverPump.h"
#include "status/State.h"

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

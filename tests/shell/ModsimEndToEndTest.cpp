// The program against orbiqa-modsim on a pseudo-terminal: the real serial device, the real
// timing, the simulated module's answers.
//
// The Windows build has no simulator of its own: tests/windows/window-e2e.sh runs the Linux one
// beside Wine, maps its terminal as a COM port and names that port in ORBIQA_E2E_PORT. The
// test's "unplug" then creates the file ORBIQA_E2E_UNPLUG names, and the script ends the
// simulator.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <optional>

#include "diag/LogMemoView.h"
#include "diag/SerialDetails.h"
#include "link/EComPort.h"
#include "portdevice/SystemSerialDevice.h"
#include "ShellFixture.h"
#include "status/State.h"
#ifndef _WIN32
#include "support/ModsimProcess.h"
#include "support/PrivateSettingsFolder.h"
#endif

using namespace orbiqa;
using namespace orbiqa::test;

namespace {

constexpr const char* kSimPort = "COM77";

struct ModsimFixture : ShellFixture {
#ifndef _WIN32
    testsupport::ModsimProcess sim;
    // The simulator publishes its link in the port-link folder, and the program looks there.
    std::optional<testsupport::PrivateSettingsFolder> config;
#endif
    // A simulator run outside this process (under Wine): its port and the file that ends it.
    QString outsidePort = qEnvironmentVariable("ORBIQA_E2E_PORT");
    QString outsideUnplug = qEnvironmentVariable("ORBIQA_E2E_UNPLUG");

    QByteArray Port() const { return outsidePort.isEmpty() ? QByteArray(kSimPort) : outsidePort.toLatin1(); }

    std::unique_ptr<SerialDevice> MakeDevice() override { return CreateSystemSerialDevice(); }

    void SetUp() override {
        if (!outsidePort.isEmpty()) {
            ShellFixture::SetUp();
            WriteSettings();
            return;
        }
#ifdef _WIN32
        GTEST_SKIP() << "orbiqa-modsim runs beside Wine only (ORBIQA_E2E_PORT)";
#else
        if (!QFile::exists(QString::fromStdString(testsupport::ModsimProgram())))
            GTEST_SKIP() << "orbiqa-modsim not built";
        ShellFixture::SetUp();
        config.emplace();
        ASSERT_TRUE(sim.Start({"--port", kSimPort, "--fast", "--status-flags", "0x11", "--signal", "23",
                               "--line-state", "2", "--text-interval", "100", "--version-text",
                               "E2E-SIM;V9.9;x;2030", "--data-version", "12"}))
            << sim.Failure();
        ASSERT_EQ(sim.ComName(), kSimPort);
#endif
        WriteSettings();
    }

    void WriteSettings() {
        QFile settings("ZenitSetup.ini");
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(QByteArray("2,1\r\n0,0,") + Port() + "\r\n");
    }

    // The simulator goes away with its terminal, as an adapter pulled out does.
    void Unplug() {
        if (!outsidePort.isEmpty()) {
            QFile signal(outsideUnplug);
            ASSERT_TRUE(signal.open(QIODevice::WriteOnly)) << outsideUnplug.toStdString();
            return;
        }
#ifndef _WIN32
        ASSERT_TRUE(sim.Terminate(5000).has_value());
#endif
    }

    void TearDown() override {
#ifndef _WIN32
        sim.Stop();
#endif
        if (!link) return;  // skipped before the fixture was built
        ShellFixture::TearDown();
#ifndef _WIN32
        config.reset();
#endif
    }

    QString LabelText(QWidget* w, const char* name) { return w->findChild<QLabel*>(name)->text(); }
};

}  // namespace

TEST_F(ModsimFixture, ConnectWatchQueryAndUnplug) {
    StartProgram();
    ASSERT_EQ(link->ComPort1().Port(), Port().toStdString());
    Control<QPushButton>("btConnect")->click();
    ASSERT_TRUE(link->ComPort1().Connected()) << Main()->StatusText().toStdString();

    Control<QPushButton>("btStatus")->click();
    TStateForm* state = program->StateForm();
    EXPECT_TRUE(WaitFor([&] { return LabelText(state, "lbGSMpowVal") == "23"; }, 5000));
    EXPECT_EQ(LabelText(state, "lbGSMLine"), QString::fromUtf8("Kimenő hívás folyamatban 2"));
    EXPECT_EQ(LabelText(state, "lbIN1"), QString::fromUtf8("Rövidzár"));
    EXPECT_EQ(LabelText(state, "lbLineVoltage"), "Vonal rendben");

    // Module texts fill MemoState; the traffic log only while it is shown.
    EXPECT_TRUE(WaitFor([&] { return state->MemoState()->Lines().size() >= 2; }, 5000));
    TFormDetails* details = program->FormDetails();
    EXPECT_TRUE(details->Memo3()->Lines().isEmpty());
    details->show();
    EXPECT_TRUE(WaitFor([&] { return !details->Memo3()->Lines().isEmpty(); }, 5000));

    Control<QPushButton>("btGetVer")->click();
    ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }, 5000));
    EXPECT_EQ(boxes[0].Caption, "Info");
    EXPECT_EQ(boxes[0].Text, "E2E-SIM  V9.9  2030  DataVersion:12");

    // Unplugging, with the focus on a button that the loss disables: the focus goes to Connect,
    // never along the tab chain to "Kilépés".
    Main()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Main()));
    Control<QPushButton>("btGetVer")->setFocus();
    Unplug();
    EXPECT_TRUE(WaitFor([&] { return !link->ComPort1().Connected(); }, 10000));
    EXPECT_EQ(Main()->StatusText(), QString::fromUtf8(" Hiba: A COM port nem elérhető!"));
    EXPECT_TRUE(Control<QPushButton>("btConnect")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>("btGetVer")->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), Control<QPushButton>("btConnect"));
    // The status window polls every 500 ms. A poll that goes out after the pull but before the
    // loss has been handled fails as a write on an open port, and that failure has its box (a
    // busy machine under Wine makes the window wide enough to hit). No other box may appear.
    std::string shown;
    for (const BoxRequest& b : boxes) shown += "\n  " + b.Caption.toStdString() + ": " + b.Text.toStdString();
    const QString writeFailed = QString::fromStdString(ComPortErrorText(CError_WriteFailed));
    for (std::size_t i = 1; i < boxes.size(); ++i)
        EXPECT_TRUE(boxes[i].Text.startsWith(writeFailed)) << "boxes shown:" << shown;
    EXPECT_LE(boxes.size(), 2u) << "boxes shown:" << shown;
}

#include <QApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <cerrno>

#include "base/Errors.h"
#include "base/SettingsLocation.h"
#include "diag/LogMemoView.h"
#include "diag/SerialDetails.h"
#include "ShellFixture.h"
#include "portdevice/SystemSerialDevice.h"
#include "status/State.h"
#include "support/ChosenSettingsFolder.h"

using namespace orbiqa;
using namespace orbiqa::test;

namespace {

const char* const kButtons[] = {"ButtonSelectSerial", "btConnect", "btDisconnect", "btStatus",
                                "btParameterSetting", "btGetVer",  "btSites", "btClose"};

QString ReadFile(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

ModuleMessage LongText(std::uint8_t type, const std::string& text) {
    ModuleMessage m{};
    m[0] = kMessageOpen;
    m[1] = type;
    for (std::size_t i = 0; i < text.size() && i < 13; ++i) m[2 + i] = static_cast<std::uint8_t>(text[i]);
    m[15] = kMessageClose;
    return m;
}

// Captures the main window's caption at the moment it is first shown.
struct ShowSpy : QObject {
    QString captionAtShow;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && o->objectName() == "MainForm" && captionAtShow.isEmpty())
            captionAtShow = static_cast<QWidget*>(o)->windowTitle();
        return false;
    }
};

struct MainFormFixture : ShellFixture {
    int detachCalls = 0;
    void BeforeShow() override { program->DetachVariantPages = [this] { ++detachCalls; }; }

    QString Status() { return Main()->StatusText(); }
    bool Enabled(const char* name) { return Control<QPushButton>(name)->isEnabled(); }
    std::vector<std::string> EnabledButtons() {
        std::vector<std::string> names;
        for (const char* b : kButtons)
            if (Enabled(b)) names.emplace_back(b);
        return names;
    }
    void Connect() {
        Control<QPushButton>("btConnect")->click();
        ASSERT_TRUE(link->ComPort1().Connected());
    }
    static bool SendKey(QObject* target, Qt::KeyboardModifiers mods) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_D, mods, "d");
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_D, mods, "d");
        QCoreApplication::sendEvent(target, &press);
        QCoreApplication::sendEvent(target, &release);
        return true;
    }
};

using Names = std::vector<std::string>;

}  // namespace

TEST_F(MainFormFixture, StartsWithoutSettingsFileOnComOneAndOnlyFourButtons) {
    ShowSpy spy;
    qApp->installEventFilter(&spy);
    StartProgram();
    qApp->removeEventFilter(&spy);

    EXPECT_EQ(spy.captionAtShow, " Orbiqa v1.05");
    EXPECT_EQ(detachCalls, 1);
    EXPECT_FALSE(program->WelcomeForm()->isVisible());
    EXPECT_EQ(link->ComPort1().Port(), "COM1");
    EXPECT_EQ(Control<QLabel>("Panel1")->text(), "");
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(EnabledButtons(), (Names{"ButtonSelectSerial", "btConnect", "btSites", "btClose"}));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Main()->size(), QSize(232, 346));
}

TEST_F(MainFormFixture, ConnectAndDisconnectShowTheirTextsAndStates) {
    StartProgram();
    Connect();
    EXPECT_EQ(Status(), QString::fromUtf8(" Soros kapcsolat rendben."));
    EXPECT_EQ(EnabledButtons(), (Names{"ButtonSelectSerial", "btDisconnect", "btStatus", "btParameterSetting",
                                       "btGetVer", "btSites", "btClose"}));

    Control<QPushButton>("btDisconnect")->click();
    EXPECT_FALSE(link->ComPort1().Connected());
    EXPECT_EQ(Status(), QString::fromUtf8(" Nincs soros kapcsolat."));
    EXPECT_EQ(EnabledButtons(), (Names{"ButtonSelectSerial", "btConnect", "btSites", "btClose"}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormFixture, AFailedOpenShowsOnlyTheStatusTextAndPermissionNamesTheDevice) {
    StartProgram();
    device->Fail().open = EBUSY;
    Control<QPushButton>("btConnect")->click();
    EXPECT_EQ(Status(), QString::fromUtf8(" Hiba: A COM port nem elérhető!"));
    EXPECT_TRUE(Control<QStatusBar>("StatusBar1")->toolTip().isEmpty());
    EXPECT_TRUE(Enabled("btConnect"));
    EXPECT_FALSE(Enabled("btDisconnect"));
    EXPECT_TRUE(boxes.empty());

    // Only where the system has a notion of permission to use a device (on Windows a refused
    // opening means another program holds the port).
    device->Fail().open = EACCES;
    Control<QPushButton>("btConnect")->click();
    EXPECT_EQ(Status(), QString::fromUtf8(" Hiba: A COM port nem elérhető!"));
    EXPECT_EQ(Control<QStatusBar>("StatusBar1")->toolTip().contains("/dev/ttyS0"), IsPermissionDenied(EACCES));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormFixture, LosingTheDeviceClosesThePortWithoutADialog) {
    StartProgram();
    Connect();
    device->LoseDevice();
    ASSERT_TRUE(WaitFor([&] { return !link->ComPort1().Connected(); }));
    EXPECT_EQ(Status(), QString::fromUtf8(" Hiba: A COM port nem elérhető!"));
    EXPECT_EQ(EnabledButtons(), (Names{"ButtonSelectSerial", "btConnect", "btSites", "btClose"}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainFormFixture, CtrlAltDOpensTheTrafficLogFromEveryControlButNotWithShift) {
    StartProgram();
    TFormDetails* details = program->FormDetails();
    const Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;

    SendKey(Main(), ctrlAlt | Qt::ShiftModifier);
    SendKey(Control<QPushButton>("btConnect"), ctrlAlt | Qt::ShiftModifier);
    SendKey(Main(), Qt::ControlModifier);
    EXPECT_FALSE(details->isVisible());

    auto opensFrom = [&](QObject* target) {
        details->hide();
        SendKey(target, ctrlAlt);
        return details->isVisible();
    };
    EXPECT_TRUE(opensFrom(Main()));
    for (const char* b : {"ButtonSelectSerial", "btConnect", "btClose"}) EXPECT_TRUE(opensFrom(Control<QPushButton>(b))) << b;
    Connect();
    for (const char* b : {"btDisconnect", "btStatus", "btParameterSetting", "btGetVer"})
        EXPECT_TRUE(opensFrom(Control<QPushButton>(b))) << b;
}

TEST_F(MainFormFixture, ModuleTextsReachMemoStateAlwaysAndTheLogOnlyWhileShown) {
    StartProgram();
    LogMemoView* memo3 = program->FormDetails()->Memo3();
    LogMemoView* memoState = program->StateForm()->MemoState();

    link->Dispatch().Dispatch(LongText(kTypeLongText1, "hidden\r"));
    EXPECT_EQ(memoState->Lines(), QStringList{"hidden"});
    EXPECT_TRUE(memo3->Lines().isEmpty());

    program->FormDetails()->show();
    link->Dispatch().Dispatch(LongText(kTypeLongText1, "Kimen\xF5"));
    link->Dispatch().Dispatch(LongText(kTypeLongDtmf, "5#"));
    EXPECT_EQ(memo3->Lines(), QStringList{QString::fromUtf8("Kimenő")});
    EXPECT_EQ(program->FormDetails()->MemoDTMF()->Lines(), QStringList{"5#"});
    EXPECT_EQ(memoState->Lines(), (QStringList{"hidden", QString::fromUtf8("Kimenő")}));
}

TEST_F(MainFormFixture, VersionQuerySendsTheBlockReadAndShowsTheInfoBoxOnce) {
    StartProgram();
    Main()->btGetVerClick();  // the button is disabled while closed; the handler checks anyway
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QString::fromUtf8(" Nincs soros kapcsolat."));
    EXPECT_EQ(boxes[0].Icon, BoxIcon::None);
    boxes.clear();

    Connect();
    device->TakeWritten();
    link->Reply().ReadReplyReady = 1;
    Control<QPushButton>("btGetVer")->click();
    EXPECT_EQ(device->TakeWritten().size(), kSecureFrameSize);
    EXPECT_EQ(link->Reply().ReadReplyReady, 0);

    auto& record = link->Reply().VersionReplyBuffer;
    record.fill(0);
    record[2] = 7;
    record[18] = '"';
    const std::string text = "VR3;1.05;x;2024\"";
    std::copy(text.begin(), text.end(), record.begin() + 19);
    Main()->BlockReplyCompleted();
    Main()->BlockReplyCompleted();  // a second completion before the tick still shows one box
    ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }));
    Spin(120);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "Info");
    EXPECT_EQ(boxes[0].Icon, BoxIcon::None);
    EXPECT_EQ(boxes[0].Text, "VR3  1.05  2024  DataVersion:7");
    EXPECT_FALSE(Main()->VersionWindowTimer().isActive());

    record[18] = 'x';  // a parameter block: nothing shown
    Main()->BlockReplyCompleted();
    Spin(120);
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(MainFormFixture, ThePortNameSurvivesARunAndTheCloseBoxEndsLikeKilepes) {
    StartProgram();
    Main()->Chooser = [](const QString& defaultPort, std::string& portNev, QString& portHNev, std::vector<std::string>&) {
        EXPECT_EQ(defaultPort, "");
        portNev = "COM3";
        portHNev = "Port (COM3)";
        return true;
    };
    Control<QPushButton>("ButtonSelectSerial")->click();
    EXPECT_EQ(Control<QLabel>("Panel1")->text(), "Port (COM3)");
    Connect();

    bool welcomeClosed = false;
    struct CloseSpy : QObject {
        bool* closed;
        explicit CloseSpy(bool* c) : closed(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Close) *closed = true;
            return false;
        }
    } spy(&welcomeClosed);
    program->WelcomeForm()->installEventFilter(&spy);
    Main()->close();  // the frame's close box
    EXPECT_TRUE(welcomeClosed);
    program->WelcomeForm()->removeEventFilter(&spy);
    EndProgram();
    EXPECT_EQ(ReadFile("ZenitSetup.ini"), "2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM3\r\n");
    EXPECT_TRUE(boxes.empty());

    StartProgram();
    EXPECT_EQ(link->ComPort1().Port(), "COM3");
    EXPECT_EQ(Control<QLabel>("Panel1")->text(), "");  // not filled from the file
    welcomeClosed = false;
    program->WelcomeForm()->installEventFilter(&spy);
    Control<QPushButton>("btClose")->click();
    EXPECT_TRUE(welcomeClosed);
    EXPECT_FALSE(Main()->isVisible());
    program->WelcomeForm()->removeEventFilter(&spy);
}

TEST_F(MainFormFixture, ANetworkPortIsShownAndRememberedLikeACOMName) {
    StartProgram();
    Main()->Chooser = [](const QString&, std::string& portNev, QString& portHNev, std::vector<std::string>&) {
        portNev = "rfc2217://10.0.0.7:2217";
        portHNev = "rfc2217://10.0.0.7:2217";
        return true;
    };
    Control<QPushButton>("ButtonSelectSerial")->click();
    EXPECT_EQ(Control<QLabel>("Panel1")->text(), "rfc2217://10.0.0.7:2217");
    EndProgram();
    EXPECT_EQ(ReadFile("ZenitSetup.ini"), "2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,rfc2217://10.0.0.7:2217\r\n");
    StartProgram();
    EXPECT_EQ(link->ComPort1().Port(), "rfc2217://10.0.0.7:2217");
    EndProgram();
}

// A long file (a hand-edited one, or one with many width lines) is read whole and keeps its port
// and network ports; one beyond what the program reads is never overwritten by a table that
// lacks its content, and a port chosen in such a run is reported as not kept.
TEST_F(MainFormFixture, ALongSettingsFileIsReadWholeOrLeftAlone) {
    const std::string head = "2,3\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM33\r\n1,0,socket://old:4001\r\n"
                             "1,1,rfc2217://bench:2217\r\n";
    auto writeWithPadding = [&](std::size_t size) {
        std::string content = head;
        while (content.size() < size) content += "cw 9,1\r\n";  // a column outside: skipped
        QFile ini("ZenitSetup.ini");
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(content.data(), static_cast<qint64>(content.size()));
        return QString::fromLatin1(content);
    };
    writeWithPadding(74 * 1000);
    StartProgram();
    EXPECT_EQ(link->ComPort1().Port(), "COM33");
    EXPECT_EQ(Main()->NetworkPorts(), (Names{"socket://old:4001", "rfc2217://bench:2217"}));
    EndProgram();
    EXPECT_EQ(ReadFile("ZenitSetup.ini"), "2,3\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM33\r\n1,0,socket://old:4001\r\n"
                                          "1,1,rfc2217://bench:2217\r\n");

    const QString tooLong = writeWithPadding(kMaxTableFileSize + 1);
    StartProgram();
    EXPECT_TRUE(Main()->NetworkPorts().empty());  // not read
    EndProgram();
    EXPECT_EQ(ReadFile("ZenitSetup.ini"), tooLong);
    EXPECT_TRUE(boxes.empty());

    StartProgram();
    Main()->Chooser = [](const QString&, std::string& portNev, QString& portHNev, std::vector<std::string>&) {
        portNev = "COM5";
        portHNev = "Port (COM5)";
        return true;
    };
    Control<QPushButton>("ButtonSelectSerial")->click();
    EndProgram();
    EXPECT_EQ(ReadFile("ZenitSetup.ini"), tooLong);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].Text.contains("ZenitSetup.ini")) << boxes[0].Text.toStdString();
    EXPECT_TRUE(boxes[0].Text.contains("(COM5) nem maradt meg.")) << boxes[0].Text.toStdString();
}

// The panel is narrow: a long name gives way in its description, never in what tells the port
// apart, and is told whole to the screen reader, to the hint and to the next chooser.
TEST_F(MainFormFixture, TheChosenPortKeepsWhatIdentifiesItInTheNarrowPanel) {
    StartProgram();
    QLabel* panel = Control<QLabel>("Panel1");
    const int room = panel->contentsRect().width() - 2 * panel->margin();
    for (const QString& name : {QStringLiteral("Communications Port Extended Multiport Card - ttyS0 (COM1)"),
                                QStringLiteral("rfc2217://modulszerver.telephely-kozpont.example.com:2217")}) {
        Main()->Chooser = [&name](const QString&, std::string& portNev, QString& portHNev, std::vector<std::string>&) {
            portNev = "COM1";
            portHNev = name;
            return true;
        };
        Control<QPushButton>("ButtonSelectSerial")->click();
        const QString shown = panel->text();
        EXPECT_LE(panel->fontMetrics().horizontalAdvance(shown), room) << shown.toStdString();
        EXPECT_NE(shown, name);
        EXPECT_TRUE(shown.endsWith(name.endsWith(')') ? " (COM1)" : ".com:2217")) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
        EXPECT_EQ(panel->toolTip(), name);
        EXPECT_EQ(panel->accessibleName(), name);
        QString askedWith;
        Main()->Chooser = [&askedWith](const QString& defaultPort, std::string&, QString&, std::vector<std::string>&) {
            askedWith = defaultPort;
            return false;
        };
        Control<QPushButton>("ButtonSelectSerial")->click();
        EXPECT_EQ(askedWith, name);
    }
}

TEST_F(MainFormFixture, AFailedSaveReachesTheStandardErrorBox) {
    StartProgram();
    QFile::remove("ZenitSetup.ini");
    QDir().mkdir("ZenitSetup.ini");  // a folder in the way: the file cannot be created
    EndProgram();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Icon, BoxIcon::Error);
    EXPECT_EQ(boxes[0].Caption, "Orbiqa_shell_ui_tests");
    EXPECT_EQ(boxes[0].Text, "Cannot Create ZenitSetup.ini.");
}

TEST_F(MainFormFixture, ErrorsEscapingHandlersReachOneBoxAndTheProgramGoesOn) {
    StartProgram();
    QTimer::singleShot(0, [] { throw EFileError("Unable to open com port (win error code: 2)"); });
    ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes[0].Text, "Unable to open com port (win error code: 2)");  // ends in ")": no full stop
    EXPECT_EQ(boxes[0].Icon, BoxIcon::Error);

    // Choosing a port while connected reopens it; a failed reopening is reported once and the
    // window no longer claims a connection.
    boxes.clear();
    Connect();
    Main()->Chooser = [](const QString&, std::string& portNev, QString& portHNev, std::vector<std::string>&) {
        portNev = "COM9";
        portHNev = "COM9";
        return true;
    };
    device->Fail().open = ENOENT;
    QTimer::singleShot(0, [&] { Control<QPushButton>("ButtonSelectSerial")->click(); });
    ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Unable to open com port (win error code: 2)");
    EXPECT_EQ(link->ComPort1().Port(), "COM9");
    EXPECT_EQ(Status(), QString::fromUtf8(" Hiba: A COM port nem elérhető!"));
    EXPECT_TRUE(Enabled("btConnect"));
}

TEST_F(MainFormFixture, TheSettingsFileLivesInTheChosenSettingsFolder) {
    const testsupport::ChosenSettingsFolder settings;
    const QString chosen = QString::fromStdString(settings.Path()) + "/ZenitSetup.ini";
    ASSERT_TRUE(QFileInfo(QString::fromStdString(settings.Path())).isDir());
    QFile ini(chosen);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM105\r\n");
    ini.close();
    StartProgram();
    EXPECT_EQ(link->ComPort1().Port(), "COM105");  // above COM96, as Windows numbers adapters
    EndProgram();
    EXPECT_FALSE(QFile::exists("ZenitSetup.ini"));  // nothing in the working folder
    EXPECT_EQ(ReadFile(chosen), "2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM105\r\n");
}

// The chooser's network ports come from the settings file and go back into it, also when the
// user changed them and then cancelled the chooser.
TEST_F(MainFormFixture, RememberedNetworkPortsSurviveARun) {
    QFile ini("ZenitSetup.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("2,3\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM4\r\n1,0,socket://old:4001\r\n1,1,nonsense\r\n"
              "1,2,rfc2217://bench:2217\r\n");
    ini.close();
    StartProgram();
    EXPECT_EQ(Main()->NetworkPorts(), (Names{"socket://old:4001", "rfc2217://bench:2217"}));
    Main()->Chooser = [](const QString&, std::string&, QString&, std::vector<std::string>& networkPorts) {
        EXPECT_EQ(networkPorts, (Names{"socket://old:4001", "rfc2217://bench:2217"}));
        networkPorts = {"rfc2217://10.0.0.7:2217", "rfc2217://bench:2217"};
        return false;
    };
    Control<QPushButton>("ButtonSelectSerial")->click();
    EXPECT_EQ(link->ComPort1().Port(), "COM4");
    EndProgram();
    EXPECT_EQ(ReadFile("ZenitSetup.ini"), "2,3\r\ncw 0,20\r\ncw 1,20\r\n0,0,COM4\r\n1,0,rfc2217://10.0.0.7:2217\r\n"
                                          "1,1,rfc2217://bench:2217\r\n");
}

namespace {

struct OpenFileFixture : MainFormFixture {
    QStringList opened;
    void BeforeShow() override {
        program->OpenParameterFile = [this](const QString& name) { opened.push_back(name); };
        program->OpenWhenShown(QStringLiteral("/data/first.VR3"));  // the command line's file
    }
    // A drag of urls over the main window and its drop; true when the window took the drag.
    bool Drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Main(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Main(), &drop);
        return drop.isAccepted();
    }
};

}  // namespace

TEST_F(OpenFileFixture, FilesOpenOnceTheMainWindowShowsAndByDrop) {
    StartProgram();
    ASSERT_TRUE(WaitFor([this] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, QStringList{"/data/first.VR3"});

    // Only a local parameter file is taken, the first among several, in any letter case.
    EXPECT_FALSE(Drop({QUrl("file:///tmp/readme.txt")}));
    EXPECT_FALSE(Drop({QUrl("https://example.com/remote.VR3")}));
    EXPECT_TRUE(Drop({QUrl("file:///tmp/readme.txt"), QUrl("file:///tmp/Modul%201.vr3"), QUrl("file:///tmp/b.VR3")}));
    ASSERT_TRUE(WaitFor([this] { return opened.size() == 2; }));
    EXPECT_EQ(opened.back(), "/tmp/Modul 1.vr3");

    // A later start's file, handed over while the program runs, opens at once.
    program->OpenWhenShown(QStringLiteral("/data/second.VR3"));
    EXPECT_EQ(opened.back(), "/data/second.VR3");
    EXPECT_TRUE(boxes.empty());
}

// While a modal window (here as the port chooser) waits for the user, a handed-over file would
// put the editor above it: it is refused with a box naming the window and the file.
TEST_F(OpenFileFixture, AFileHandedOverWhileAModalWindowIsOpenIsRefused) {
    StartProgram();
    ASSERT_TRUE(WaitFor([this] { return !opened.isEmpty(); }));
    QDialog chooser(Main());
    chooser.setWindowTitle(QStringLiteral("Soros portok"));
    chooser.setModal(true);
    chooser.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &chooser);
    program->OpenWhenShown(QStringLiteral("/data/run/../third.VR3"));
    EXPECT_EQ(opened, QStringList{"/data/first.VR3"});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, ModalWindowOpenText(QStringLiteral("Soros portok"), QStringLiteral("/data/third.VR3")));
    EXPECT_TRUE(boxes[0].Text.contains(QDir::toNativeSeparators(QStringLiteral("/data/third.VR3"))));
    chooser.close();
    program->OpenWhenShown(QStringLiteral("/data/third.VR3"));
    EXPECT_EQ(opened.back(), "/data/third.VR3");
}

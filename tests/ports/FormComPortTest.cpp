#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPaintEngine>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <stdlib.h>
#include <thread>

#include "FakeRegistry.h"
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <dbt.h>

#include "ports/DeviceWatcherWin32.h"
#include "ports/SystemDeviceWatcher.h"
#else
#include "ports/RegistryReaderPosix.h"
#endif
#include "ports/FormComPort.h"
#include "ports/PortChooserScreenshot.h"
#include "ports/PortWatch.h"
#include "widgets/MessageBoxes.h"
#include "ports/SorosDialog.h"
#include "support/PrivateSettingsFolder.h"
#include "support/RecordingAnnouncer.h"

using namespace orbiqa;
using namespace orbiqa::test;

namespace {

const QColor kNavy(0, 0, 128);
const QColor kDarkRed(128, 32, 32);
const QColor kLightOrange(255, 192, 96);

std::string ComName(int n) { return "Communications Port (COM" + std::to_string(n) + ")"; }

// Twenty ports, COM1..COM20; the odd ones present.
std::shared_ptr<MemoryRegistry> TwentyPorts() {
    auto registry = std::make_shared<MemoryRegistry>();
    for (int n = 1; n <= 20; ++n) {
        AddPortDevice(*registry, "ACPI\\PNP0501\\" + std::to_string(n), ComName(n), "(Standard port types)");
        if (n % 2) MarkPresent(*registry, "Serial" + std::to_string(n), "COM" + std::to_string(n));
    }
    return registry;
}

// The chooser shown without a modal loop, activated as it is when it opens.
struct Chooser {
    explicit Chooser(std::shared_ptr<MemoryRegistry> r, const std::string& defaultPort = {},
                     const std::vector<std::string>& networkPorts = {})
        : registry(std::move(r)), keres(registry), window(keres) {
        window.SetDefaultDisplayName(defaultPort);
        window.SetNetworkPorts(networkPorts);
        window.SetAddPortPrompt("prompt");
        window.show();
        // A real window system activates the window some time after showing it; that must be
        // over before a test opens the window's own boxes.
        (void)QTest::qWaitForWindowActive(&window);
        window.FormActivate();
    }
    // Answers the next add-port input box with text (or cancels it when text is null).
    void Add(const char* text) {
        QTimer::singleShot(0, [text] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->labelText(), "prompt");
            if (!text) return box->reject();
            box->setTextValue(QString::fromUtf8(text));
            box->accept();
        });
        window.jporthozzadsa1Click();
    }
    QColor Pixel(int row, int x) {
        const QImage image = window.StringGrid1->viewport()->grab().toImage();
        return image.pixelColor(x, row * TFormComPort::kRowHeight + TFormComPort::kRowHeight / 2);
    }
    int Row(const std::string& name) {
        for (int r = 0; r < window.StringGrid1->rowCount(); ++r)
            if (RecordName(window.Cell(r)) == name) return r;
        return -1;
    }
    void Click(int row) {
        const QRect cell = window.StringGrid1->visualRect(window.StringGrid1->model()->index(row, 0));
        QTest::mouseClick(window.StringGrid1->viewport(), Qt::LeftButton, {}, cell.center());
    }

    std::shared_ptr<MemoryRegistry> registry;
    SorosKeres keres;
    TFormComPort window;
};

}  // namespace

TEST(PortChooser, ControlsAndRowsAreReachable) {
    Chooser c(TwentyPorts());
    TFormComPort& w = c.window;
    for (const char* name : {"Label1", "StringGrid1", "PopupMenu1", "jporthozzadsa1", "Panel1", "Panel2", "Button1", "Timer1"})
        EXPECT_NE(w.findChild<QObject*>(name), nullptr) << name;
    EXPECT_EQ(w.StringGrid1->accessibleName(), w.Label1->text());
    EXPECT_TRUE(w.Timer1->isActive());
    // Rows are told to assistive technology by name and presence.
    EXPECT_EQ(w.StringGrid1->item(0, 0)->text(), QString::fromStdString(ComName(1)));
    EXPECT_TRUE(w.StringGrid1->item(1, 0)->data(Qt::AccessibleDescriptionRole).toString().startsWith("nem"));
}

TEST(PortChooser, DefaultPortIsSelectedAndScrolledTowardsTheMiddle) {
    Chooser c(TwentyPorts(), ComName(12));
    TFormComPort& w = c.window;
    ASSERT_EQ(w.StringGrid1->rowCount(), 20);
    EXPECT_EQ(w.StringGrid1->currentRow(), 11);
    EXPECT_EQ(w.Panel1->text(), QString::fromStdString(ComName(12)));
    EXPECT_EQ(w.Panel2->text(), "(Standard port types)");
    const int visible = 171 / TFormComPort::kRowHeight;
    EXPECT_EQ(w.StringGrid1->verticalScrollBar()->value(), 11 - visible / 2);
    EXPECT_EQ(w.SelectedIndex(), 12);
    EXPECT_EQ(w.SelectedPort(), "COM12");

    // Near the end the list stops at its last row rather than centring.
    w.GridBeallit(ComName(20));
    EXPECT_EQ(w.StringGrid1->verticalScrollBar()->value(), 20 - visible);
    w.GridBeallit(ComName(1));
    EXPECT_EQ(w.StringGrid1->verticalScrollBar()->value(), 0);

    // The refresh every second leaves the selection alone.
    w.Timer1Timer();
    EXPECT_EQ(w.StringGrid1->currentRow(), 0);
    EXPECT_EQ(w.SelectedIndex(), 1);
}

TEST(PortChooser, NoDefaultMeansNoSelection) {
    for (const std::string& none : {std::string(), std::string("Sehol (COM50)")}) {
        Chooser c(TwentyPorts(), none);
        EXPECT_FALSE(c.window.StringGrid1->currentIndex().isValid());
        EXPECT_TRUE(c.window.StringGrid1->selectedItems().isEmpty());
        EXPECT_TRUE(c.window.Panel1->text().isEmpty());
        EXPECT_TRUE(c.window.Panel2->text().isEmpty());
        c.window.Button1Click();
        EXPECT_EQ(c.window.result(), QDialog::Rejected);
        EXPECT_FALSE(c.window.Timer1->isActive());
    }
}

TEST(PortChooser, ClickingARowChoosesIt) {
    Chooser c(TwentyPorts());
    c.Click(1);  // COM2, absent: chosen like a present one
    EXPECT_EQ(c.window.SelectedIndex(), 2);
    EXPECT_EQ(c.window.SelectedDisplayName(), ComName(2));
    EXPECT_EQ(c.window.Panel1->text(), QString::fromStdString(ComName(2)));
    c.window.Button1Click();
    EXPECT_EQ(c.window.result(), QDialog::Accepted);
}

TEST(PortChooser, RowWithoutPortNumberKeepsTheEarlierChoice) {
    auto registry = TwentyPorts();
    AddPortDevice(*registry, "X", "Broken (COM7", "Maker : Modem");  // "(COM" never closed
    Chooser c(registry, ComName(3));
    const int broken = c.Row("Broken (COM7");
    ASSERT_EQ(broken, 0);  // no number sorts first
    c.Click(broken);
    EXPECT_EQ(c.window.Panel1->text(), "Broken (COM7");
    EXPECT_EQ(c.window.Panel2->text(), "Maker : Modem");
    EXPECT_EQ(c.window.SelectedIndex(), 0);
    EXPECT_EQ(c.window.SelectedPort(), "COM3");
    c.window.Button1Click();
    EXPECT_EQ(c.window.result(), QDialog::Rejected);
}

TEST(PortChooser, AddingAPortByNumber) {
    Chooser c(TwentyPorts(), ComName(4));
    const std::string user5 = "Saj\xE1tport (COM5)";
    c.Add("5");
    QApplication::processEvents();  // the return from the input box must not reselect the default
    ASSERT_EQ(c.window.UserPorts().size(), 1u);
    EXPECT_EQ(RecordName(c.window.Cell(0)), user5);
    EXPECT_EQ(c.window.StringGrid1->rowCount(), 21);
    // The new row is selected and chosen.
    EXPECT_EQ(c.window.StringGrid1->currentRow(), 0);
    EXPECT_EQ(c.window.SelectedIndex(), 5);
    EXPECT_EQ(c.window.SelectedDisplayName(), user5);
    EXPECT_EQ(c.window.Panel2->text(), "(user defined port)");

    for (const char* ignored : {"0", "257", "", "abc", "-3"}) c.Add(ignored);
    c.Add(nullptr);
    EXPECT_EQ(c.window.UserPorts().size(), 1u);
    EXPECT_EQ(c.window.SelectedIndex(), 5);

    c.Add(" 12abc");  // reading stops at the first character that does not fit
    c.Add("105");  // Windows numbers ports up to COM256
    c.Add("33\xE4\xB8\xAD");  // also at a character that Windows-1250 cannot hold
    ASSERT_EQ(c.window.UserPorts().size(), 4u);
    EXPECT_EQ(RecordName(c.window.Cell(1)), "Saj\xE1tport (COM12)");
    EXPECT_EQ(RecordName(c.window.Cell(2)), "Saj\xE1tport (COM105)");
    EXPECT_EQ(RecordName(c.window.Cell(3)), "Saj\xE1tport (COM33)");
    EXPECT_EQ(c.window.SelectedPort(), "COM33");

    // The user's ports stay first through the refresh.
    c.window.Timer1Timer();
    EXPECT_EQ(RecordName(c.window.Cell(0)), user5);
    EXPECT_EQ(RecordName(c.window.Cell(4)), ComName(1));
}

TEST(PortChooser, HintOnlyForANameThatDoesNotFit) {
    auto registry = TwentyPorts();
    const std::string longName = "A very long serial adapter name that cannot fit the panel (COM30)";
    AddPortDevice(*registry, "L", longName, "Maker");
    // Short enough for the panel in any system's font.
    const std::string shortName = "Port (COM31)";
    AddPortDevice(*registry, "S", shortName, "Maker");
    Chooser c(registry, longName);
    EXPECT_EQ(c.window.Panel1->toolTip(), QString::fromStdString(longName));
    EXPECT_TRUE(c.window.Panel2->toolTip().isEmpty());
    c.window.GridBeallit(shortName);
    EXPECT_EQ(c.window.Panel1->text(), QString::fromStdString(shortName));
    EXPECT_TRUE(c.window.Panel1->toolTip().isEmpty());
}

// What a cell's drawing asked for: the colour of its filled background and the pen of its text.
// Recorded from the painting calls, not read back from pixels, whose colours depend on the fonts
// and the smoothing the machine has.
class CellRecorder : public QPaintDevice {
public:
    struct Engine : QPaintEngine {
        Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState& changed) override {
            if (changed.state() & QPaintEngine::DirtyPen) pen = changed.pen().color();
            if (changed.state() & QPaintEngine::DirtyBrush) brush = changed.brush().color();
        }
        void drawRects(const QRect*, int) override { fills.push_back(brush); }
        void drawRects(const QRectF*, int) override { fills.push_back(brush); }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override {
            texts.push_back(item.text());
            textPens.push_back(pen);
        }
        Type type() const override { return QPaintEngine::User; }
        QColor pen, brush;
        std::vector<QColor> fills, textPens;
        QStringList texts;
    };
    QPaintEngine* paintEngine() const override { return &engine; }
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
            case PdmWidth: return 400;
            case PdmHeight: return 40;
            case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
            case PdmDevicePixelRatio: return 1;
            case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
            default: return 8;
        }
    }
    mutable Engine engine;
};

struct CellColours {
    QColor background;
    QColor text;
    QString shown;
};

CellColours DrawnCell(TFormComPort& window, int row, bool selected) {
    CellRecorder device;
    {
        QPainter painter(&device);
        window.StringGrid1DrawCell(painter, 0, row, QRect(0, 0, 364, TFormComPort::kRowHeight), selected);
    }
    CellColours out;
    if (!device.engine.fills.empty()) out.background = device.engine.fills.back();
    if (!device.engine.textPens.empty()) out.text = device.engine.textPens.back();
    out.shown = device.engine.texts.join("");
    return out;
}

TEST(PortChooser, RowColours) {
    Chooser c(TwentyPorts(), ComName(2));
    const QColor window = c.window.palette().color(QPalette::Base);
    // Row 0: COM1 present; row 1: COM2 absent.
    const CellColours present = DrawnCell(c.window, 0, false);
    EXPECT_EQ(present.background, window);
    EXPECT_EQ(present.text, QColor(Qt::black));
    EXPECT_EQ(present.shown, QString::fromStdString(" - " + ComName(1)));
    const CellColours presentSelected = DrawnCell(c.window, 0, true);
    EXPECT_EQ(presentSelected.background, kNavy);
    EXPECT_EQ(presentSelected.text, QColor(Qt::white));
    const CellColours absent = DrawnCell(c.window, 1, false);
    EXPECT_EQ(absent.background, window);
    EXPECT_EQ(absent.text, kDarkRed);
    const CellColours absentSelected = DrawnCell(c.window, 1, true);
    EXPECT_EQ(absentSelected.background, kNavy);
    EXPECT_EQ(absentSelected.text, kLightOrange);

    // The grid paints its cells through that routine, selection included: the background at the
    // right end of a row, where no letter reaches, shows it.
    c.window.GridBeallit(ComName(2));
    c.window.StringGrid1->verticalScrollBar()->setValue(0);
    QApplication::processEvents();
    const int rightEnd = c.window.StringGrid1->viewport()->width() - 3;
    EXPECT_EQ(c.Pixel(0, rightEnd), window);
    EXPECT_EQ(c.Pixel(1, rightEnd), kNavy);
}

TEST(PortChooser, ScanErrorsLeaveTheWindowOpen) {
    auto registry = TwentyPorts();
    Chooser c(registry, ComName(3));
    registry->SetValue(kSerialComm, "\\Device\\Bad", RegistryValueType::Dword, "1234");
    EXPECT_THROW(c.window.FormActivate(), ERegistryException);
    EXPECT_TRUE(c.window.isVisible());
    EXPECT_FALSE(c.window.Timer1->isActive());
    EXPECT_EQ(c.window.StringGrid1->rowCount(), 20);
    EXPECT_EQ(c.window.SelectedIndex(), 3);
}

namespace {

// Runs then on the chooser once its activation has selected the default port, waiting at most a
// few seconds: under Wine on a loaded machine activation comes late.
void WhenDefaultSelected(TFormComPort* w, std::function<void()> then) {
    auto* poll = new QTimer(w);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, w, [w, poll, started, then] {
        if (w->SelectedIndex() == 0 && started->elapsed() < 5000) return;
        poll->stop();
        then();
    });
    poll->start(20);
}

}  // namespace

TEST(SorosDialog, ExecuteReturnsTheChosenPort) {
    TSorosDialog dialog(TwentyPorts());
    EXPECT_EQ(dialog.PortIndex(), 0);
    EXPECT_TRUE(dialog.PortNev().isEmpty());
    dialog.SetDefaultPort(QString::fromStdString(ComName(9)));
    dialog.SetDialogusCimke("Caption");
    dialog.SetHozzaadCimke("Add");
    QObject::connect(&dialog, &TSorosDialog::WindowCreated, [](TFormComPort* w) {
        EXPECT_EQ(w->windowTitle(), "Caption");
        EXPECT_EQ(w->jporthozzadsa1->text(), "Add");
        EXPECT_EQ(w->Label1->text(), QString::fromUtf8("Válassza ki a használni kívánt soros portot!"));
        // OK as soon as the window has opened and activated, without a click.
        WhenDefaultSelected(w, [w] { QTest::mouseClick(w->Button1, Qt::LeftButton); });
    });
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.PortNev(), "COM9");
    EXPECT_EQ(dialog.PortHNev(), QString::fromStdString(ComName(9)));
    EXPECT_EQ(dialog.PortIndex(), 9);
    ASSERT_TRUE(dialog.Keres().DeviceList().has_value());

    // Closing by the close box cancels and keeps the earlier answer.
    dialog.SetDefaultPort(QString::fromStdString(ComName(4)));
    QObject::disconnect(&dialog, &TSorosDialog::WindowCreated, nullptr, nullptr);
    QObject::connect(&dialog, &TSorosDialog::WindowCreated,
                     [](TFormComPort* w) { QTimer::singleShot(50, w, [w] { w->close(); }); });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.PortNev(), "COM9");
    EXPECT_EQ(dialog.PortIndex(), 9);
}

namespace {

// Device reports as the test makes them, delivered from a thread of their own as the system's
// watcher delivers them.
class InjectedWatcher : public DeviceWatcher {
public:
    bool Start(Listener listener) override {
        listener_ = std::move(listener);
        return true;
    }
    void Stop() override { listener_ = nullptr; }
    void Report(const DeviceEvent& event) {
        std::thread([this, event] { listener_(event); }).join();
        QApplication::processEvents();
    }

private:
    Listener listener_;
};

}  // namespace

TEST(PortChooser, FollowsPlugsAndPullsWithoutReopening) {
    auto registry = std::make_shared<MemoryRegistry>();
    for (int n : {1, 5, 9, 12}) {
        AddPortDevice(*registry, "ACPI\\PNP0501\\" + std::to_string(n), ComName(n), "(Standard port types)");
        MarkPresent(*registry, "Serial" + std::to_string(n), "COM" + std::to_string(n));
    }
    Chooser c(registry, ComName(9));
    auto owned = std::make_unique<InjectedWatcher>();
    InjectedWatcher* system = owned.get();
    PortWatch watch(c.keres, std::move(owned));
    ASSERT_TRUE(watch.Active());
    c.window.FollowDevices(&watch);
    ASSERT_EQ(c.window.StringGrid1->rowCount(), 4);
    ASSERT_EQ(c.window.StringGrid1->currentRow(), 2);

    // Plugged in: listed at once, before the chosen port, which stays chosen on its new row.
    const std::string adapter = "USB Serial Port (COM3)";
    AddPortDevice(*registry, "FTDIBUS\\A1", adapter, "FTDI");
    MarkPresent(*registry, "VCP0", "COM3");
    system->Report({DeviceEvent::Kind::Arrived, "COM3", "\\\\.\\COM3", "", "", false});
    ASSERT_EQ(c.window.StringGrid1->rowCount(), 5);
    EXPECT_EQ(c.window.Cell(1), "+" + adapter + ";FTDI");
    EXPECT_EQ(c.window.StringGrid1->currentRow(), 3);
    EXPECT_EQ(RecordName(c.window.Cell(3)), ComName(9));
    EXPECT_EQ(c.window.SelectedPort(), "COM9");

    // Pulled out: absent at once, still listed.
    registry->DeleteValue(kSerialComm, "\\Device\\VCP0");
    system->Report({DeviceEvent::Kind::Removed, "COM3", "\\\\.\\COM3", "", "", false});
    EXPECT_EQ(c.window.Cell(1), "-" + adapter + ";FTDI");
    EXPECT_EQ(c.window.SelectedPort(), "COM9");

    // Hidden, the window does not scan: the next opening does.
    c.window.hide();
    registry->DeleteKey(kEnum + "\\FTDIBUS");
    system->Report({DeviceEvent::Kind::Removed, "COM3", "", "", "", false});
    EXPECT_EQ(c.window.StringGrid1->rowCount(), 5);
}

TEST(PortChooser, PresenceChangeOfTheFocusedRowIsSaidOncePerChange) {
    RecordingAnnouncer announcer;
    Chooser c(TwentyPorts(), ComName(3));
    ASSERT_EQ(c.window.StringGrid1->currentRow(), 2);
    announcer.Take();  // opening has its own sentences, if any

    // The focused port goes: said once, in the row description's own words.
    c.registry->DeleteValue(kSerialComm, "\\Device\\Serial3");
    c.window.Timer1Timer();
    EXPECT_EQ(announcer.said,
              QStringList{QString::fromUtf8("Communications Port (COM3): nem elérhető")});
    ASSERT_EQ(announcer.windows.size(), 1);
    EXPECT_EQ(announcer.windows.first(), &c.window);
    announcer.Take();
    // The next second finds it still gone: nothing more.
    c.window.Timer1Timer();
    EXPECT_TRUE(announcer.Take().isEmpty());

    // Another port going, away from the focus, is not said.
    c.registry->DeleteValue(kSerialComm, "\\Device\\Serial5");
    c.window.Timer1Timer();
    EXPECT_TRUE(announcer.Take().isEmpty());

    // Back under the focus.
    MarkPresent(*c.registry, "Serial3", "COM3");
    c.window.Timer1Timer();
    EXPECT_EQ(announcer.Take(),
              QStringList{QString::fromUtf8("Communications Port (COM3): elérhető")});

    // A change while the window was closed is no change heard: reopening says nothing of it.
    c.window.hide();
    c.registry->DeleteValue(kSerialComm, "\\Device\\Serial3");
    c.window.Timer1Timer();
    c.window.show();
    c.window.Timer1Timer();
    EXPECT_TRUE(announcer.Take().isEmpty());
}

TEST(PortChooser, PresenceChangeFollowsTheFocusedPortToItsNewRow) {
    RecordingAnnouncer announcer;
    auto registry = std::make_shared<MemoryRegistry>();
    for (int n : {1, 9}) {
        AddPortDevice(*registry, "ACPI\\PNP0501\\" + std::to_string(n), ComName(n),
                      "(Standard port types)");
        MarkPresent(*registry, "Serial" + std::to_string(n), "COM" + std::to_string(n));
    }
    Chooser c(registry, ComName(9));
    announcer.Take();
    // A new port listed before it and the focused one gone, in one device report: the port is
    // named, though its row moved.
    AddPortDevice(*registry, "FTDIBUS\\A1", "USB Serial Port (COM3)", "FTDI");
    MarkPresent(*registry, "VCP0", "COM3");
    registry->DeleteValue(kSerialComm, "\\Device\\Serial9");
    c.window.DevicesChanged();
    EXPECT_EQ(RecordName(c.window.Cell(c.window.StringGrid1->currentRow())), ComName(9));
    EXPECT_EQ(announcer.Take(),
              QStringList{QString::fromUtf8("Communications Port (COM9): nem elérhető")});
}

#ifdef _WIN32
// The whole Windows path: WM_DEVICECHANGE as the system sends it to the watcher's window, through
// PortWatch, to the open chooser.
TEST(PortChooser, FollowsWindowsDeviceNotifications) {
    auto registry = std::make_shared<MemoryRegistry>();
    AddPortDevice(*registry, "ACPI\\PNP0501\\1", ComName(1), "(Standard port types)");
    MarkPresent(*registry, "Serial1", "COM1");
    Chooser c(registry, ComName(1));
    PortWatch watch(c.keres, CreateSystemDeviceWatcher());
    ASSERT_TRUE(watch.Active());
    c.window.FollowDevices(&watch);
    const HWND notified = FindWindowW(DeviceWatcherWin32::kWindowClass, nullptr);
    ASSERT_NE(notified, nullptr);

    AddPortDevice(*registry, "FTDIBUS\\A1", "USB Serial Port (COM3)", "FTDI");
    MarkPresent(*registry, "VCP0", "COM3");
    std::vector<unsigned char> buffer(sizeof(DEV_BROADCAST_PORT_W) + 5 * sizeof(wchar_t), 0);
    auto* port = reinterpret_cast<DEV_BROADCAST_PORT_W*>(buffer.data());
    port->dbcp_size = static_cast<DWORD>(buffer.size());
    port->dbcp_devicetype = DBT_DEVTYP_PORT;
    wcscpy(port->dbcp_name, L"COM3");
    SendMessageW(notified, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(port));
    QApplication::processEvents();
    ASSERT_EQ(c.window.StringGrid1->rowCount(), 2);
    EXPECT_EQ(c.window.Cell(1), "+USB Serial Port (COM3);FTDI");

    registry->DeleteValue(kSerialComm, "\\Device\\VCP0");
    SendMessageW(notified, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(port));
    QApplication::processEvents();
    EXPECT_EQ(c.window.Cell(1), "-USB Serial Port (COM3);FTDI");
}
#endif

#ifndef _WIN32
TEST(PortChooser, APulledAdapterItNeverListedTurnsAbsent) {
    const testsupport::PrivateSettingsFolder config;  // no port links
    std::vector<SerialDeviceFacts> devices = {{"/dev/ttyUSB0", "FT232R USB UART", "FTDI"}};
    {
        SorosKeres discovery(std::make_shared<RegistryReaderPosix>([&] { return devices; }));
        TFormComPort window(discovery);
        window.show();
        window.FormActivate();
        auto owned = std::make_unique<InjectedWatcher>();
        InjectedWatcher* system = owned.get();
        PortWatch watch(discovery, std::move(owned));
        window.FollowDevices(&watch);
        ASSERT_EQ(window.StringGrid1->rowCount(), 1);
        // Plugged and pulled again before any scan saw it: the removal alone tells of it.
        system->Report({DeviceEvent::Kind::Removed, "COM34", "/dev/ttyUSB1", "CP2102", "Silicon Labs", false});
        ASSERT_EQ(window.StringGrid1->rowCount(), 2);
        EXPECT_EQ(window.Cell(1), "-CP2102 - ttyUSB1 (COM34);Silicon Labs");
    }
}

TEST(SorosDialog, APortThatWentAwayStaysListedAndSelectedWithTheRunsDiscovery) {
    const testsupport::PrivateSettingsFolder config;  // no port links
    std::vector<SerialDeviceFacts> devices = {{"/dev/ttyUSB0", "FT232R USB UART", "FTDI"}};
    SorosKeres discovery(std::make_shared<RegistryReaderPosix>([&] { return devices; }));
    discovery.RescanDevices();  // at start-up
    devices.clear();            // unplugged before the chooser first opens

    TSorosDialog dialog(discovery);
    dialog.SetDefaultPort(QStringLiteral("FT232R USB UART - ttyUSB0 (COM33)"));
    QString shown;
    QObject::connect(&dialog, &TSorosDialog::WindowCreated, [&](TFormComPort* w) {
        QTimer::singleShot(50, w, [&, w] {
            shown = QString::fromStdString(w->Cell(0));
            QTest::mouseClick(w->Button1, Qt::LeftButton);
        });
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(shown, "-FT232R USB UART - ttyUSB0 (COM33);FTDI");
    EXPECT_EQ(dialog.PortNev(), "COM33");
}
#endif

TEST(SorosDialog, OkWithoutAChoiceCancels) {
    TSorosDialog dialog(TwentyPorts());
    QObject::connect(&dialog, &TSorosDialog::WindowCreated, [](TFormComPort* w) {
        QTimer::singleShot(50, w, [w] {
            // The focus on the grid chooses nothing; only a selected row does. Focus is given
            // only to an active window, which a real window system may make it a little later.
            (void)QTest::qWaitForWindowActive(w);
            w->Button1->setFocus();
            w->StringGrid1->setFocus(Qt::TabFocusReason);
            EXPECT_TRUE(w->StringGrid1->hasFocus());
            QTest::keyClick(w, Qt::Key_Return);
        });
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.PortIndex(), 0);
}

constexpr qint64 kActivationWaitMs = 5000;

TEST(SorosDialog, OpeningActivatesTheWindow) {
    // The scan runs because the window became active, not because a test called it.
    TSorosDialog dialog(TwentyPorts());
    dialog.SetDefaultPort(QString::fromStdString(ComName(6)));
    int rows = -1;
    QString panel;
    QObject::connect(&dialog, &TSorosDialog::WindowCreated, [&](TFormComPort* w) {
        // Activation can take a while on a loaded machine (and under Wine): look until the scan
        // has filled the grid, for at most a few seconds, then choose.
        auto* poll = new QTimer(w);
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        QObject::connect(poll, &QTimer::timeout, w, [&, w, poll, started] {
            if (w->StringGrid1->rowCount() < 20 && started->elapsed() < kActivationWaitMs) return;
            poll->stop();
            rows = w->StringGrid1->rowCount();
            panel = w->Panel1->text();
            w->Button1Click();
        });
        poll->start(20);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(rows, 20);
    EXPECT_EQ(panel, QString::fromStdString(ComName(6)));
}

TEST(PortChooser, Screenshot) {
    const QString path = QDir::temp().filePath("orbiqa-port-chooser-test.png");
    ASSERT_TRUE(RenderPortChooser(path));
    EXPECT_FALSE(QImage(path).isNull());
    QFile::remove(path);
}

TEST(PortChooser, NetworkPortIsAddedByAddressAndChosenAgainLater) {
    Chooser c(TwentyPorts());
    TFormComPort& w = c.window;
    EXPECT_NE(w.findChild<QObject*>("jhalozatiport1"), nullptr);
    auto answer = [&](const char* text) {
        QTimer::singleShot(0, [text] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            box->setTextValue(QString::fromUtf8(text));
            box->accept();
            // A refused address is told in a box of its own.
            QTimer::singleShot(0, [] {
                if (auto* message = QApplication::activeModalWidget()) message->close();
            });
        });
        w.jhalozatiport1Click();
    };
    answer("rfc2217://bench");  // no port: refused, nothing added
    EXPECT_EQ(c.Row("rfc2217://bench"), -1);
    EXPECT_EQ(w.SelectedPort(), "");

    answer(" RFC2217://10.0.0.7:2217 ");
    ASSERT_EQ(c.Row("rfc2217://10.0.0.7:2217"), 0);
    EXPECT_EQ(w.SelectedPort(), "rfc2217://10.0.0.7:2217");
    EXPECT_EQ(w.SelectedIndex(), 0);
    EXPECT_EQ(w.Panel1->text(), "rfc2217://10.0.0.7:2217");
    // A COM port chosen afterwards replaces it.
    c.Click(c.Row(ComName(3)));
    EXPECT_EQ(w.SelectedPort(), "COM3");

    // The next chooser lists the current network port and selects it.
    Chooser again(TwentyPorts(), "rfc2217://10.0.0.7:2217");
    EXPECT_EQ(again.window.SelectedPort(), "rfc2217://10.0.0.7:2217");
    EXPECT_EQ(again.window.StringGrid1->currentRow(), 0);
}

namespace {

using Ports = std::vector<std::string>;

// Answers the next network address box with text.
void AddNetworkPort(TFormComPort& w, const char* text) {
    QTimer::singleShot(0, [text] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->setTextValue(QString::fromUtf8(text));
        box->accept();
    });
    w.jhalozatiport1Click();
}

void PressDelete(TFormComPort& w, int row) {
    w.StringGrid1->setFocus();
    w.StringGrid1->selectionModel()->setCurrentIndex(w.StringGrid1->model()->index(row, 0),
                                                     QItemSelectionModel::NoUpdate);
    QTest::keyClick(w.StringGrid1, Qt::Key_Delete);
}

}  // namespace

TEST(PortChooser, RememberedNetworkPortsAreListedOnTopMostRecentFirst) {
    // What a settings file may hold: junk, a port twice in different spellings, more than fit.
    Ports given = {"socket://a:1", "COM3", "", "rfc2217://nohost", "SOCKET://a:1"};
    for (int n = 2; n <= 9; ++n) given.push_back("socket://host" + std::to_string(n) + ":4001");
    Chooser c(TwentyPorts(), {}, given);
    TFormComPort& w = c.window;
    Ports kept = {"socket://a:1"};
    for (int n = 2; n <= 8; ++n) kept.push_back("socket://host" + std::to_string(n) + ":4001");
    ASSERT_EQ(w.NetworkPorts(), kept);
    for (int r = 0; r < 8; ++r) EXPECT_EQ(RecordName(w.Cell(r)), kept[static_cast<std::size_t>(r)]);
    EXPECT_EQ(RecordName(w.Cell(8)), ComName(1));

    // A new one goes on top and the least recent is forgotten; one given again moves up.
    AddNetworkPort(w, "rfc2217://10.0.0.7:2217");
    EXPECT_EQ(w.NetworkPorts().size(), TFormComPort::kRememberedNetworkPorts);
    EXPECT_EQ(w.NetworkPorts().front(), "rfc2217://10.0.0.7:2217");
    EXPECT_EQ(c.Row("socket://host8:4001"), -1);
    AddNetworkPort(w, "SOCKET://host5:4001");
    EXPECT_EQ(w.NetworkPorts().size(), TFormComPort::kRememberedNetworkPorts);
    EXPECT_EQ(c.Row("socket://host5:4001"), 0);
    EXPECT_EQ(c.Row("rfc2217://10.0.0.7:2217"), 1);
    EXPECT_EQ(w.SelectedPort(), "socket://host5:4001");

    // Confirming a network port makes it the most recent.
    c.Click(c.Row("socket://host3:4001"));
    w.Button1Click();
    EXPECT_EQ(w.NetworkPorts().front(), "socket://host3:4001");
}

TEST(PortChooser, DeleteForgetsTheNetworkPortOfTheRow) {
    Chooser c(TwentyPorts(), "socket://a:1", {"socket://b:2", "socket://c:3"});
    TFormComPort& w = c.window;
    // The current port is remembered when the chooser opens, on top and chosen.
    ASSERT_EQ(w.NetworkPorts(), (Ports{"socket://a:1", "socket://b:2", "socket://c:3"}));
    ASSERT_EQ(w.SelectedPort(), "socket://a:1");
    EXPECT_EQ(w.jhalozatiporttorles1->objectName(), "jhalozatiporttorles1");
    EXPECT_EQ(w.jhalozatiporttorles1->text(), QString::fromUtf8("Hálózati port eltávolítása"));
    RecordingAnnouncer announcer;

    // Another row's port goes; the chosen one stays chosen.
    PressDelete(w, 1);
    EXPECT_EQ(w.NetworkPorts(), (Ports{"socket://a:1", "socket://c:3"}));
    EXPECT_EQ(w.SelectedPort(), "socket://a:1");
    EXPECT_EQ(w.StringGrid1->currentRow(), 0);
    EXPECT_EQ(announcer.Take(), QStringList{QString::fromUtf8("Hálózati port eltávolítva: socket://b:2")});

    // A serial port's row is not the user's to forget: the menu offers nothing, Delete does nothing.
    const int com3 = c.Row(ComName(3));
    PressDelete(w, com3);
    EXPECT_EQ(w.NetworkPorts().size(), 2u);
    EXPECT_EQ(c.Row(ComName(3)), com3);
    emit w.StringGrid1->customContextMenuRequested(QPoint(1, 1));
    EXPECT_FALSE(w.jhalozatiporttorles1->isEnabled());
    w.PopupMenu1->close();

    // The chosen port itself: then nothing is chosen, and OK does not confirm.
    PressDelete(w, 0);
    EXPECT_EQ(w.NetworkPorts(), (Ports{"socket://c:3"}));
    EXPECT_EQ(w.SelectedPort(), "");
    EXPECT_EQ(w.Panel1->text(), "");
    EXPECT_EQ(RecordName(w.Cell(w.StringGrid1->currentRow())), "socket://c:3");
    EXPECT_FALSE(w.StringGrid1->selectionModel()->hasSelection());
    w.FormActivate();  // a later activation does not bring the removed current port back
    EXPECT_EQ(c.Row("socket://a:1"), -1);
    w.Button1Click();
    EXPECT_EQ(w.result(), QDialog::Rejected);
}

TEST(PortChooser, TheDialogGivesBackTheNetworkPortsAlsoWhenCancelled) {
    TSorosDialog dialog(TwentyPorts());
    dialog.SetNetworkPorts({"socket://a:1", "socket://b:2"});
    QObject::connect(&dialog, &TSorosDialog::WindowCreated, [](TFormComPort* w) {
        QTimer::singleShot(0, w, [w] {
            (void)QTest::qWaitForWindowActive(w);
            PressDelete(*w, 0);
            w->close();
        });
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.NetworkPorts(), (Ports{"socket://b:2"}));
}

TEST(PortChooser, ARefusedAddressIsTheChoosersOwnWarningShownAsTyped) {
    Chooser c(TwentyPorts());
    TFormComPort& w = c.window;
    std::vector<BoxRequest> boxes;
    SetMessageBoxHook([&boxes](const BoxRequest& r) { boxes.push_back(r); });
    AddNetworkPort(w, "socket://<b>x</b>");
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Icon, BoxIcon::Warning);
    EXPECT_EQ(boxes[0].Caption, "Soros portok");
    EXPECT_EQ(boxes[0].Parent, &w);
    EXPECT_TRUE(boxes[0].Text.startsWith(QString::fromUtf8("Ez nem hálózati port címe: socket://<b>x</b>\n")));
    EXPECT_TRUE(w.NetworkPorts().empty());
}

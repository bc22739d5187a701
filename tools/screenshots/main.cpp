// orbiqa-screenshots DIR: builds the program's windows offscreen, fills them with a typical
// moment of a service session and saves each as DIR/<window>.png, for README and reviews.
// Windows of the shell are listed in Renderers() and share one scene; the other subsystems
// bring their own render functions, called after them.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#if defined(__unix__)
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QTableWidget>

#include "ports/RegistryReaderPosix.h"
#include "ports/FormComPort.h"
#endif

#include "diag/LogMemoView.h"
#include "diag/SerialDetails.h"
#include "FakeSerialDevice.h"
#include "link/ModuleLink.h"
#include "params/SettingsForm.h"
#include "ports/PortChooserScreenshot.h"
#include "shell/DesktopSetup.h"
#include "shell/MainForm.h"
#include "shell/Welcome.h"
#include "sites/SitesForm.h"
#include "status/State.h"
#include "transfer/DownloadForm.h"

namespace {

using namespace orbiqa;

// The objects a renderer may use: one link on an in-memory device, and the windows already
// built, so that a window can be shown together with the state it depends on.
struct Scene {
    ModuleLink link{std::make_unique<FakeSerialDevice>()};
    std::unique_ptr<TStateForm> stateForm = std::make_unique<TStateForm>(link);
    std::unique_ptr<TFormDetails> formDetails = std::make_unique<TFormDetails>();
    std::unique_ptr<TMainForm> mainForm =
        std::make_unique<TMainForm>(link, *stateForm, *formDetails, nullptr);
    std::unique_ptr<TWelcomeForm> welcomeForm = std::make_unique<TWelcomeForm>();
    QString simulatorPortName;
};

struct Renderer {
    const char* file;
    std::function<QWidget*(Scene&)> render;
};

void Texts(LogMemo& memo, const std::vector<const char*>& lines) {
    for (const char* l : lines) AppendLogText(memo, l);
}

constexpr const char* kSimulatorPort = "COM90";

// The display name the port chooser gives the simulator's port: a pseudo-terminal published
// under COM90 in a scratch port-link folder, found by the real discovery and chosen by the real
// chooser's rules, so the picture shows what a user of `make run` sees after choosing it.
#if defined(__unix__)
constexpr bool kChooserListsTheSimulator = true;
#else
constexpr bool kChooserListsTheSimulator = false;  // no pseudo-terminal for it to list
#endif

QString ChooserNameOfSimulatorPort(const QString& scratch) {
#if defined(__unix__)
    static const int master = posix_openpt(O_RDWR | O_NOCTTY);  // kept open while the tool runs
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {};
    const QString links = scratch + "/orbiqa/ports";
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch));
    if (!QDir().mkpath(links) || !QFile::link(QString::fromLocal8Bit(ptsname(master)), links + '/' + kSimulatorPort))
        return {};
    SorosKeres keres(std::make_shared<RegistryReaderPosix>());
    TFormComPort chooser(keres);
    chooser.show();
    chooser.FormActivate();
    for (int row = 0; row < chooser.StringGrid1->rowCount(); ++row)
        if (RecordName(chooser.Cell(row)).find(std::string("(") + kSimulatorPort + ")") != std::string::npos) {
            chooser.StringGrid1SelectCell(0, row);
            chooser.FormClose();
            return QString::fromLocal8Bit(chooser.SelectedDisplayName());
        }
    chooser.FormClose();
    return {};
#else
    // No pseudo-terminal for the chooser to list: the port as Device Manager names a USB
    // adapter's, so that the picture shows a chosen, connected port as on a technician's PC.
    (void)scratch;
    return QStringLiteral("USB Serial Port (%1)").arg(QLatin1String(kSimulatorPort));
#endif
}

// The save dialog of the transfer window's "Mentés fájlba", in Qt's Hungarian texts, over a
// folder holding two parameter files.
// The folder has a fixed name and the files a fixed date, so that the picture is the same on
// every run (the dialog shows both).
bool RenderFileDialog(const QString& path) {
    QDir base(QDir::tempPath() + "/orbiqa-screenshots");
    base.removeRecursively();
    const QString folder = base.path() + "/parameterek";
    QDir().mkpath(folder);
    const QDateTime fixedDate(QDate(2026, 1, 15), QTime(9, 30));
    for (const char* name : {"iroda.VR3", "raktar.VR3"}) {
        QFile file(folder + '/' + name);
        if (!file.open(QIODevice::WriteOnly)) continue;
        file.write(QByteArray(1088, '\xFF'));
        file.flush();  // a write still buffered would set the time again when the file closes
        file.setFileTime(fixedDate, QFileDevice::FileModificationTime);
    }
    QFileDialog dialog(nullptr);
    dialog.setObjectName("SaveDialog1");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QtFileFilter(QString::fromLatin1(TFormDownload::kFileFilter)));
    dialog.setDirectory(folder);
    dialog.selectFile("modul.VR3");
    dialog.resize(640, 400);
    dialog.show();
    // The folder is listed by a background thread; give it a moment to fill the view.
    for (int i = 0; i < 50; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    const bool saved = dialog.grab().save(path);
    base.removeRecursively();
    return saved;
}

std::vector<Renderer> Renderers() {
    return {
        {"welcome.png",
         [](Scene& s) { return s.welcomeForm.get(); }},
        {"main-window.png",
         [](Scene& s) {
             s.mainForm->Chooser = [&s](const QString&, std::string& portNev, QString& portHNev, std::vector<std::string>&) {
                 portNev = kSimulatorPort;
                 portHNev = s.simulatorPortName;
                 return true;
             };
             s.mainForm->findChild<QPushButton*>("ButtonSelectSerial")->click();
             s.mainForm->btConnectClick();
             s.mainForm->SetProductVariant();
             return s.mainForm.get();
         }},
        {"status-window.png",
         [](Scene& s) {
             s.stateForm->ModuleStatusReceived({0x10, 23, 2, 0});
             // Windows-1250 texts as the module sends them.
             Texts(*s.stateForm->MemoState(),
                   {"GSM modul indul\r", "OK\r", "T\xE9rer\xF5: j\xF3\r", "Kimen\xF5 h\xEDv\xE1s: 06301234567\r"});
             return s.stateForm.get();
         }},
        {"traffic-log.png",
         [](Scene& s) {
             Texts(*s.formDetails->Memo3(), {"GSM modul indul\r", "OK\r", "Kimen\xF5 h\xEDv\xE1s: 06301234567\r",
                                             "H\xEDv\xE1s v\xE9ge.\r"});
             Texts(*s.formDetails->Memo4(), {"T\xFBzjelz\xE9s SMS elk\xFCldve: 06701112233\r", "Bej\xF6v\xF5 h\xEDv\xE1s\r"});
             Texts(*s.formDetails->Memo5(), {"CID 1234 18 1130 01 001\r", "Nyugta\r"});
             Texts(*s.formDetails->MemoDTMF(), {"1234#\r", "5*9#\r"});
             return s.formDetails.get();
         }},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetUpDesktop(app);
    if (argc != 2) {
        std::fprintf(stderr, "usage: orbiqa-screenshots DIR\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "orbiqa-screenshots: cannot create %s\n", argv[1]);
        return 1;
    }
    // The main window reads "ZenitSetup.ini" from the current directory: keep the user's away.
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());

    Scene scene;
    scene.simulatorPortName = ChooserNameOfSimulatorPort(scratch.path());
    int failures = 0;
    if (kChooserListsTheSimulator && scene.simulatorPortName.isEmpty()) {
        std::fprintf(stderr, "orbiqa-screenshots: the chooser did not list %s\n", kSimulatorPort);
        ++failures;
    }
    for (const Renderer& r : Renderers()) {
        QWidget* w = r.render(scene);
        w->ensurePolished();
        const QString path = out + '/' + r.file;
        if (!w->grab().save(path)) {
            std::fprintf(stderr, "orbiqa-screenshots: cannot write %s\n", qPrintable(path));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(path));
    }
    scene.link.ComPort1().SetConnected(false);

    RenderDownloadForm(out + "/transfer-window.png");
    std::printf("%s\n", qPrintable(out + "/transfer-window.png"));
    if (RenderPortChooser(out + "/port-chooser.png"))
        std::printf("%s\n", qPrintable(out + "/port-chooser.png"));
    else
        ++failures;
    for (const QString& page : RenderSettingsPages(out)) std::printf("%s\n", qPrintable(page));
    if (RenderFileDialog(out + "/file-dialog.png"))
        std::printf("%s\n", qPrintable(out + "/file-dialog.png"));
    else
        ++failures;
    // The report's page is drawn by poppler's pdftoppm from the PDF the program writes; where
    // there is none (a Windows run) only the window is drawn.
    const bool pdftoppm = !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty();
    const QString reportPage = pdftoppm ? out + "/service-report.png" : QString();
    if (sites::RenderSitesForm(out + "/sites-window.png", reportPage)) {
        std::printf("%s\n", qPrintable(out + "/sites-window.png"));
        if (pdftoppm) std::printf("%s\n", qPrintable(reportPage));
    } else {
        std::fprintf(stderr, "orbiqa-screenshots: the sites window or the report's page failed\n");
        ++failures;
    }
    return failures ? 1 : 0;
}

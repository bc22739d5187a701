// orbiqa-screenshots DIR: builds the program's windows offscreen, fills them with a typical
// moment of a service session and saves each as DIR/<window>.png, for README and reviews.
// Windows of the shell are listed in Renderers() and share one scene; the other subsystems
// bring their own render functions, called after them.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "diag/LogMemoView.h"
#include "diag/SerialDetails.h"
#include "link/FakeSerialDevice.h"
#include "link/ModuleLink.h"
#include "params/SettingsForm.h"
#include "ports/PortChooserScreenshot.h"
#include "shell/MainForm.h"
#include "shell/Welcome.h"
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
};

struct Renderer {
    const char* file;
    std::function<QWidget*(Scene&)> render;
};

void Texts(LogMemo& memo, const std::vector<const char*>& lines) {
    for (const char* l : lines) AppendLogText(memo, l);
}

std::vector<Renderer> Renderers() {
    return {
        {"welcome.png",
         [](Scene& s) { return s.welcomeForm.get(); }},
        {"main-window.png",
         [](Scene& s) {
             s.mainForm->Chooser = [](const QString&, std::string& portNev, QString& portHNev) {
                 portNev = "COM90";
                 portHNev = "orbiqa-modsim (COM90)";
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
    int failures = 0;
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
    return failures ? 1 : 0;
}

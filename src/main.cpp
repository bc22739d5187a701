// orbiqa: the service and configuration tool of the GSM communicator module.
#include <QCoreApplication>
#include <QDir>
#include <memory>

#include "base/SettingsLocation.h"

#include "params/ParameterImage.h"
#include "params/SettingsForm.h"
#include "ports/SystemDeviceWatcher.h"
#include "ports/SystemRegistryReader.h"
#include "portdevice/SystemSerialDevice.h"
#include "ports/PortWatch.h"
#include "ports/SorosDialog.h"
#include "widgets/MessageBoxes.h"
#include "shell/DesktopSetup.h"
#include "shell/OrbiqaApplication.h"
#include "shell/Program.h"
#include "shell/SingleInstance.h"
#include "shell/VersionRecord.h"
#include "sites/RecordOffer.h"
#include "sites/SiteRegister.h"
#include "sites/SiteRegisterThread.h"
#include "sites/SitesForm.h"
#include "status/State.h"
#include "transfer/DownloadForm.h"
#include "transfer/ModuleSession.h"
#include "transfer/TransferOutcomeText.h"
#include "widgets/QtText.h"

#include <QFileDialog>
#include <QRegularExpression>
#include <QStandardPaths>
#include <utility>

namespace {

using namespace orbiqa;

// The site register of this run, opened on its own thread at its first use: a shared server
// that cannot be reached never delays the start. A database setting that cannot be used leaves
// the local file alone, and the sites window says why.
std::unique_ptr<sites::SiteRegister> OpenSiteRegister() {
    auto configured = sites::ConfiguredOptions(std::nullopt);
    if (auto* options = std::get_if<sites::RegisterOptions>(&configured))
        return std::make_unique<sites::SiteRegister>(*options);
    sites::RegisterOptions local;
    local.localPath = QString::fromStdString(SettingsFilePath(sites::kLocalDatabaseFile));
    return std::make_unique<sites::SiteRegister>(local);
}

// The module's identity as the last version query showed it, if one was made.
sites::ModuleIdentity LastModuleIdentity(ModuleLink& link) {
    sites::ModuleIdentity identity;
    const std::optional<std::string> text = VersionReplyText(link.Reply().VersionReplyBuffer);
    if (!text) return identity;
    identity.versionText = FromWin1250(*text).section(QChar(0), 0, 0);
    const auto match = QRegularExpression(QStringLiteral("DataVersion:(\\d+)")).match(identity.versionText);
    if (match.hasMatch()) identity.dataVersion = match.captured(1).toInt();
    return identity;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orbiqa;
    OrbiqaApplication app(argc, argv);
    SetUpDesktop(app);
    // Before any window reads its settings.
    UseSettingsFolder(ChooseSettingsFolder(QCoreApplication::applicationDirPath().toStdString(),
                                           QDir::currentPath().toStdString()));

    // "orbiqa FILE.VR3": the file a double-click opens. A program already running for the same
    // settings takes it (two programs would fight over the port), and this start ends.
    QStringList files = QCoreApplication::arguments().mid(1);
    for (QString& file : files) file = QDir(QDir::currentPath()).absoluteFilePath(file);
    Program* running = nullptr;
    SingleInstance instance(SettingsFolder());
    if (instance.HandOverOrListen(files, [&running](const QStringList& handed) {
            if (!running) return;
            if (handed.isEmpty()) running->OpenWhenShown({});
            for (const QString& file : handed) running->OpenWhenShown(file);
        }))
        return 0;

    // The session comes first: the windows created before the main window hold a reference to
    // its link, and the program (whose main window closes the port) ends before it.
    ModuleSession session(CreateSystemSerialDevice());
    ModuleLink& link = session.Link();

    // Before the program: the windows that record through it end first.
    sites::SiteRegisterThread siteRegister(OpenSiteRegister);

    Program program(link);
    running = &program;
    program.CreateWelcomeForm();
    program.CreateStateForm();

    TSettingsForm* editor = nullptr;  // created after the transfer window that opens it
    TFormDownload::Hooks transferHooks;
    transferHooks.openEditor = [&editor] {
        editor->LoadImageToControls();
        editor->exec();
    };
    transferHooks.showMessage = [](const QString& text) { ShowPlainMessage(text); };
    // After a read or a write: the offer to record it to a site. A write started from the sites
    // window offers that site.
    QString nextOfferSite;
    std::unique_ptr<sites::TSitesForm> sitesForm;  // the sites window, made at its first opening
    transferHooks.transferDone = [&](TransferKind kind, const TransferResult& result) {
        sites::TransferRecord record;
        record.kind = kind == TransferKind::Write ? sites::HistoryKind::Write : sites::HistoryKind::Read;
        record.outcome = result.Succeeded() ? sites::Outcome::Ok
                         : result.outcome == TransferOutcome::DeviceLost ? sites::Outcome::Interrupted
                                                                          : sites::Outcome::Failed;
        record.said = TransferOutcomeText(kind, result);
        if (!result.Succeeded()) record.outcomeText = record.said;
        record.port = QString::fromStdString(link.ComPort1().Port());
        if (result.Succeeded())
            record.after = QByteArray(reinterpret_cast<const char*>(TheParameterImage().data()),
                                      qsizetype(kParameterImageSize));
        record.module = LastModuleIdentity(link);
        record.signal = program.StateForm()->LastSignal();
        sites::TRecordOffer* offer = sites::OfferRecording(siteRegister, std::move(record),
                                                           std::exchange(nextOfferSite, {}), program.FormDownload());
        // The sites window, when open, shows the site with its new entry.
        QObject::connect(offer, &sites::TRecordOffer::Recorded, offer, [&](const QString& site) {
            if (sitesForm && sitesForm->isVisible()) sitesForm->ShowSite(site);
        });
    };
    program.AdoptFormDownload(std::make_unique<TFormDownload>(
        session, ImageBytes(TheParameterImage().data(), kParameterImageSize), transferHooks));
    auto settingsForm = std::make_unique<TSettingsForm>(TheParameterImage());
    editor = settingsForm.get();
    program.AdoptSettingsForm(std::move(settingsForm));
    program.CreateFormDetails();

    program.DetachVariantPages = [&editor] { editor->DetachVariantPages(); };
    // As "Beolvasás fájlból" in the transfer window, which stays open to write the file to the
    // module, then the editor shows what was loaded.
    program.OpenParameterFile = [&program, &editor](const QString& fileName) {
        auto* download = static_cast<TFormDownload*>(program.FormDownload());
        // A file handed over during a transfer or an edit would change the data under it.
        if (!download->CanOpenFile() || editor->isVisible()) {
            ShowPlainMessage(TFormDownload::BusyText(fileName));
            return;
        }
        download->show();
        download->raise();
        download->OpenFile(fileName);
        editor->LoadImageToControls();
        editor->exec();
    };
    for (const QString& file : files) program.OpenWhenShown(file);

    // The sites window, made at its first opening.
    program.OpenSites = [&] {
        if (!sitesForm) {
            sites::TSitesForm::Hooks hooks;
            const auto setSpan = [](const QByteArray& set) {
                return std::span<const std::uint8_t, kParameterImageSize>(
                    reinterpret_cast<const std::uint8_t*>(set.constData()), kParameterImageSize);
            };
            // A set handed over during a transfer or an edit would change the data under it,
            // and a second transfer must not start inside the running one's wait.
            const auto busy = [&program, &editor] {
                auto* download = static_cast<TFormDownload*>(program.FormDownload());
                if (download->CanOpenFile() && !editor->isVisible()) return false;
                ShowPlainMessage(QString::fromUtf8("Adatátvitel vagy szerkesztés folyik, várja meg a végét."));
                return true;
            };
            hooks.openSet = [&editor, busy](const QByteArray& set) {
                if (busy()) return;
                std::copy_n(set.constData(), kParameterImageSize, reinterpret_cast<char*>(TheParameterImage().data()));
                editor->LoadImageToControls();
                editor->exec();
            };
            hooks.writeSet = [&, setSpan, busy](const QByteArray& set, const QString& site) {
                if (busy()) return;
                auto* download = static_cast<TFormDownload*>(program.FormDownload());
                download->show();
                download->raise();
                nextOfferSite = site;
                download->WriteSet(setSpan(set));
                nextOfferSite.clear();  // a write that never reached the module offered nothing
            };
            hooks.compareSet = [&, setSpan, busy](const QByteArray& set, const QString&) {
                sites::CompareOutcome compared;
                if (busy()) return compared;
                auto* download = static_cast<TFormDownload*>(program.FormDownload());
                download->show();
                download->raise();
                TransferResult result;
                compared.said = download->CompareWithSet(setSpan(set), &result);
                compared.reached = result.outcome != TransferOutcome::NotConnected;
                compared.outcome = result.outcome == TransferOutcome::Completed ||
                                           result.outcome == TransferOutcome::Different
                                       ? sites::Outcome::Ok
                                   : result.outcome == TransferOutcome::DeviceLost ? sites::Outcome::Interrupted
                                                                                    : sites::Outcome::Failed;
                compared.port = QString::fromStdString(link.ComPort1().Port());
                return compared;
            };
            hooks.chooseReportFile = [&sitesForm](const QString& suggested) {
                const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
                return QFileDialog::getSaveFileName(sitesForm.get(), QString::fromUtf8("Szervizjelentés mentése"),
                                                    QDir(folder).filePath(suggested), QStringLiteral("PDF (*.pdf)"));
            };
            hooks.lastSignal = [&program] { return program.StateForm()->LastSignal(); };
            sitesForm = std::make_unique<sites::TSitesForm>(siteRegister, std::move(hooks));
        }
        sitesForm->show();
        sitesForm->raise();
        sitesForm->activateWindow();
    };
    // One device reader and device list for the whole run, gathered once at start, so that the
    // chooser still lists (absent) a port that went away before it was opened.
    SorosKeres portDiscovery(CreateSystemRegistryReader());
    try {
        portDiscovery.RescanDevices();
    } catch (const OrbiqaError&) {
        // The chooser scans again when it opens and reports the error then.
    }
    // Adapters plugged and pulled while the program runs reach the chooser at once.
    PortWatch portWatch(portDiscovery, CreateSystemDeviceWatcher());
    // The open port's device reported removed ends the connection as a loss at once: some
    // drivers never end a pending wait when their adapter is pulled.
    QObject::connect(&portWatch, &PortWatch::Changed, &portWatch, [&link](const DeviceEvent& event) {
        if (event.kind == DeviceEvent::Kind::Removed && !event.portLink && event.comName == link.ComPort1().Port())
            link.ComPort1().DeviceRemoved();
    });
    // The chooser window is created for each use, over the main window.
    program.Chooser = [&program, &portDiscovery, &portWatch](const QString& defaultPort, std::string& portNev, QString& portHNev,
                                                            std::vector<std::string>& networkPorts) {
        TSorosDialog dialog(portDiscovery, program.MainForm());
        dialog.SetPortWatch(&portWatch);
        dialog.SetDefaultPort(defaultPort);
        dialog.SetNetworkPorts(networkPorts);
        const bool chosen = dialog.Execute();
        networkPorts = dialog.NetworkPorts();
        if (!chosen) return false;
        portNev = dialog.PortNev().toStdString();
        portHNev = dialog.PortHNev();
        return true;
    };
    const int status = program.Run();
    running = nullptr;
    return status;
}

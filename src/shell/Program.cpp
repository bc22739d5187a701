#include "shell/Program.h"

#include <QApplication>
#include <QDir>
#include <exception>
#include <utility>

#include "diag/SerialDetails.h"
#include "widgets/MessageBoxes.h"
#include "shell/Welcome.h"
#include "status/State.h"

namespace orbiqa {

QString ModalWindowOpenText(const QString& windowTitle, const QString& fileName) {
    return QString::fromUtf8("A(z) „%1” ablak nyitva van, ez a fájl nem nyílt meg: %2. Zárja be az ablakot, "
                             "majd nyissa meg újra a fájlt.")
        .arg(windowTitle.trimmed(), QDir::toNativeSeparators(QDir::cleanPath(fileName)));
}

Program::Program(ModuleLink& link) : link_(link) {}

Program::~Program() {
    DestroyMainForm();
    formDetails_.reset();
    settingsForm_.reset();
    formDownload_.reset();
    stateForm_.reset();
    welcomeForm_.reset();
}

void Program::DestroyMainForm() {
    if (!mainForm_) return;
    try {
        mainForm_->FormDestroy();
    } catch (const std::exception& e) {
        ShowStandardError(e.what());
    }
    mainForm_.reset();
}

void Program::CreateWelcomeForm() {
    welcomeForm_ = std::make_unique<TWelcomeForm>();
    welcomeForm_->OnCreateMainForm = [this] { CreateMainForm(); };
    welcomeForm_->OnShowMainForm = [this] {
        if (!mainForm_) return;
        mainForm_->SetProductVariant();
        mainForm_->show();
        const QStringList pending = std::exchange(pendingFiles_, {});
        for (const QString& name : pending) OpenNow(name);
    };
}

void Program::CreateStateForm() { stateForm_ = std::make_unique<TStateForm>(link_); }

void Program::AdoptFormDownload(std::unique_ptr<QWidget> window) { formDownload_ = std::move(window); }

void Program::AdoptSettingsForm(std::unique_ptr<QWidget> window) { settingsForm_ = std::move(window); }

void Program::CreateFormDetails() { formDetails_ = std::make_unique<TFormDetails>(); }

void Program::CreateMainForm() {
    if (mainForm_) return;
    mainForm_ = std::make_unique<TMainForm>(link_, *stateForm_, *formDetails_, formDownload_.get());
    mainForm_->DetachVariantPages = DetachVariantPages;
    mainForm_->Chooser = Chooser;
    mainForm_->OpenSites = OpenSites;
    if (OpenParameterFile) mainForm_->OnParameterFileDropped = [this](const QString& name) { OpenNow(name); };
    mainForm_->OnClosed = [this] {
        if (welcomeForm_) welcomeForm_->close();
    };
}

void Program::ShowWelcomeForm() { welcomeForm_->show(); }

void Program::OpenWhenShown(const QString& fileName) {
    if (!mainForm_ || !mainForm_->isVisible()) {
        if (!fileName.isEmpty()) pendingFiles_.push_back(fileName);
        return;
    }
    OpenNow(fileName);
}

void Program::OpenNow(const QString& fileName) {
    if (!mainForm_) return;
    // A modal window (the port chooser, the editor, a box) waits for the user: bringing the
    // main window or the editor above it would hide the window that holds the input. It comes
    // forward instead, and the file is refused with a box that says why.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
        if (!fileName.isEmpty()) ShowPlainMessage(ModalWindowOpenText(modal->windowTitle(), fileName));
        return;
    }
    mainForm_->showNormal();
    mainForm_->raise();
    mainForm_->activateWindow();
    if (fileName.isEmpty() || !OpenParameterFile) return;
    OpenParameterFile(fileName);
}

int Program::Run() {
    ShowWelcomeForm();
    return QApplication::exec();
}

}  // namespace orbiqa

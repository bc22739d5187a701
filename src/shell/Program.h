#pragma once
// The program-wide references: every window exists once for the whole run and is reached
// through here. The module link is created before any window (the main window uses it, and the
// windows created before the main window hold a reference to it); the main window is the only
// one that opens and closes its port.
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "shell/MainForm.h"

namespace orbiqa {

class ModuleLink;
class TFormDetails;
class TStateForm;
class TWelcomeForm;

/// The box of a file handed over or dropped while a modal window is open.
QString ModalWindowOpenText(const QString& windowTitle, const QString& fileName);

class Program {
public:
    explicit Program(ModuleLink& link);
    /// Saves the port name (FormDestroy; an error reaches the standard error box) and destroys
    /// the windows, the main window first.
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up, in this order: splash, status window, transfer window, editor, traffic log.
    void CreateWelcomeForm();
    void CreateStateForm();
    /// Windows built elsewhere are handed over to live here; either may be left out.
    void AdoptFormDownload(std::unique_ptr<QWidget> window);
    void AdoptSettingsForm(std::unique_ptr<QWidget> window);
    void CreateFormDetails();

    /// Shows the splash window and runs the event loop until the program ends.
    int Run();
    /// Shows the splash window; its showing creates the main window, 20 ms later shown.
    void ShowWelcomeForm();

    ModuleLink& Link() { return link_; }
    TWelcomeForm* WelcomeForm() { return welcomeForm_.get(); }
    TStateForm* StateForm() { return stateForm_.get(); }
    QWidget* FormDownload() { return formDownload_.get(); }
    QWidget* SettingsForm() { return settingsForm_.get(); }
    TFormDetails* FormDetails() { return formDetails_.get(); }
    TMainForm* MainForm() { return mainForm_.get(); }

    /// Handed to the main window when it is created.
    std::function<void()> DetachVariantPages;
    PortChooser Chooser;
    /// Shows the sites window (the main window's "Telephelyek").
    std::function<void()> OpenSites;
    /// Loads a parameter file and shows it in the editor (a file named on the command line,
    /// handed over by a second start, or dropped on the main window).
    std::function<void(const QString& fileName)> OpenParameterFile;

    /// Opens fileName with OpenParameterFile once the main window is shown, or at once when it
    /// is; brings the main window forward. An empty name only brings it forward. While a modal
    /// window is open, that window comes forward instead and the file is refused with a box.
    void OpenWhenShown(const QString& fileName);

private:
    void CreateMainForm();
    void DestroyMainForm();
    void OpenNow(const QString& fileName);

    ModuleLink& link_;
    std::unique_ptr<TWelcomeForm> welcomeForm_;
    std::unique_ptr<TStateForm> stateForm_;
    std::unique_ptr<QWidget> formDownload_;
    std::unique_ptr<QWidget> settingsForm_;
    std::unique_ptr<TFormDetails> formDetails_;
    std::unique_ptr<TMainForm> mainForm_;
    QStringList pendingFiles_;
};

}  // namespace orbiqa

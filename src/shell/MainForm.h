#pragma once
// TMainForm: the small main window from which the user chooses the COM port, opens and closes
// the link and opens the other windows. It is the only window that opens and closes ComPort1,
// the text consumer of the dispatcher (routing module texts to the log panes and MemoState) and
// the owner of the version query.
#include <QList>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "link/Dispatcher.h"
#include "shell/TableFile.h"

class QLabel;
class QPushButton;
class QStatusBar;

namespace orbiqa {

class ModuleLink;
class TFormDetails;
class TStateForm;

/// The port chooser: given the default port text, returns true when the user confirmed and then
/// fills the chosen port's name (PortNev) and display name (PortHNev). networkPorts are the
/// network ports the chooser remembers, most recent first; it gives back the list as the user
/// left it, confirmed or not.
using PortChooser = std::function<bool(const QString& defaultPort, std::string& portNev, QString& portHNev,
                                       std::vector<std::string>& networkPorts)>;

class TMainForm : public QWidget, public TextConsumer, public BlockReplyConsumer {
    Q_OBJECT
public:
    static constexpr int kVersionWindowIntervalMs = 50;
    static constexpr const char* kSettingsFileName = "ZenitSetup.ini";

    /// Loads the port name and the remembered network ports from "ZenitSetup.ini" in the
    /// settings folder (errors ignored) and
    /// plugs itself and the status window into the link's dispatcher. formDownload may be null.
    TMainForm(ModuleLink& link, TStateForm& stateForm, TFormDetails& formDetails, QWidget* formDownload,
              QWidget* parent = nullptr);
    ~TMainForm() override;

    /// Takes the "NOVIK" and "GPRS" pages out of the parameter editor (run by SetProductVariant).
    std::function<void()> DetachVariantPages;
    /// Runs the port chooser dialog; without one the button does nothing.
    PortChooser Chooser;
    /// Run when the main window closes by any means: closes the splash window, ending the program.
    std::function<void()> OnClosed;
    /// Run with the local file name of a parameter file (".VR3") dropped on the window; without
    /// it the window takes no drops.
    std::function<void(const QString& fileName)> OnParameterFileDropped;
    /// Shows the sites window ("Telephelyek"); without it the button does nothing.
    std::function<void()> OpenSites;

    /// The first local ".VR3" file (any letter case) among dropped URLs, or empty.
    static QString DroppedParameterFile(const QList<QUrl>& urls);

    void SetProductVariant();
    /// Stores the port name and the remembered network ports into "ZenitSetup.ini" in the
    /// settings folder; errors propagate. A file that was there at start but could not be read
    /// whole (over kMaxTableFileSize, unreadable) is left as it is; when the port or the network
    /// ports changed in this run, an EFileError then says that they were not kept.
    void FormDestroy();

    void AppendLogText(LogPane pane, const std::string& text, bool force) override;
    void BlockReplyCompleted() override;

    QString StatusText() const;
    /// The chosen port's whole display name; the panel may show it shortened.
    const QString& PortName() const { return portName_; }
    QTimer& VersionWindowTimer() { return versionWindowTimer_; }
    const TextTable& advSave() const { return advSave_; }
    /// The network ports the chooser remembers, most recent first.
    const std::vector<std::string>& NetworkPorts() const { return networkPorts_; }

public slots:
    void btConnectClick();
    void btDisconnectClick();
    void ButtonSelectSerialClick();
    void btStatusClick();
    void btParameterSettingClick();
    void btGetVerClick();
    void btCloseClick();
    void btSitesClick();
    void ShowVersionReply();

protected:
    void closeEvent(QCloseEvent* e) override;  // FormClose
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    QPushButton* Button(const char* name, const QString& caption, const QRect& geometry, bool bold);
    void EnterConnected(bool connected);
    void ShowStatus(const QString& text, const QString& toolTip = {});
    void ComPortLost();
    void ShowPortName(const QString& name);
    QString PermissionHint() const;
    bool IsDetailsShortcut(const QEvent* event) const;

    ModuleLink& link_;
    TStateForm& stateForm_;
    TFormDetails& formDetails_;
    QWidget* formDownload_;
    TextTable advSave_;
    std::vector<std::string> networkPorts_;
    QString portName_;
    // "ZenitSetup.ini" was there but could not be read whole: it must not be overwritten.
    bool settingsUnread_ = false;
    std::string portAtStart_;
    std::vector<std::string> networkPortsAtStart_;
    QTimer versionWindowTimer_;

    QPushButton* buttonSelectSerial_ = nullptr;
    QLabel* panel1_ = nullptr;
    QPushButton* btConnect_ = nullptr;
    QPushButton* btDisconnect_ = nullptr;
    QPushButton* btStatus_ = nullptr;
    QPushButton* btParameterSetting_ = nullptr;
    QPushButton* btGetVer_ = nullptr;
    QPushButton* btClose_ = nullptr;
    QPushButton* btSites_ = nullptr;
    QStatusBar* statusBar1_ = nullptr;
};

}  // namespace orbiqa

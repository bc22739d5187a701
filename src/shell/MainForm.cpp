#include "shell/MainForm.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDir>
#include <QDropEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <cerrno>
#include <optional>

#include "base/Errors.h"
#include "base/SettingsLocation.h"
#include "diag/LogMemoView.h"
#include "diag/SerialDetails.h"
#include "link/LineErrorText.h"
#include "link/ModuleLink.h"
#include "portdevice/SystemSerialDevice.h"
#include "serial/PortLinks.h"
#include "widgets/MessageBoxes.h"
#include "shell/PortPanelText.h"
#include "shell/VersionRecord.h"
#include "status/State.h"
#include "widgets/Accessibility.h"
#include "widgets/Announcer.h"
#include "widgets/QtText.h"
#include "widgets/WindowFont.h"
#include "widgets/CommandButton.h"

namespace orbiqa {

Q_LOGGING_CATEGORY(lcMainForm, "orbiqa.shell.main", QtInfoMsg)

namespace {
// The window of the original layout (232 x 316) grew by one button's row for "Telephelyek".
constexpr int kSitesRow = 30;
constexpr QSize kClientSize(232, 316 + kSitesRow);
constexpr int kSaveColumnWidth = 20;
constexpr int kFontPointSize = 8;
constexpr int kPanelTextPadding = 4;
const char* const kDesignCaption = "Velmora 3";
const char* const kVariantCaption = " Orbiqa v1.05";

QString StatusConnected() { return QString::fromUtf8(" Soros kapcsolat rendben."); }
QString StatusUnavailable() { return QString::fromUtf8(" Hiba: A COM port nem elérhető!"); }
QString StatusNoConnection() { return QString::fromUtf8(" Nincs soros kapcsolat."); }
}  // namespace

TMainForm::TMainForm(ModuleLink& link, TStateForm& stateForm, TFormDetails& formDetails, QWidget* formDownload,
                     QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                          Qt::CustomizeWindowHint),
      link_(link),
      stateForm_(stateForm),
      formDetails_(formDetails),
      formDownload_(formDownload),
      advSave_(2, 1, kSaveColumnWidth) {
    setObjectName("MainForm");
    setWindowTitle(kDesignCaption);
    ExposeAsWindow(this);
    setFont(WindowFont(kFontPointSize));
    setFixedSize(kClientSize);
    // A parameter file dropped on the window opens as "Beolvasás fájlból" would open it.
    setAcceptDrops(true);

    // The bevels come first so that the controls lie on top of them.
    auto* bevelPort = new QFrame(this);
    bevelPort->setObjectName("Bevel1");
    bevelPort->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevelPort->setGeometry(8, 8, 216, 124);
    auto* bevelCommands = new QFrame(this);
    bevelCommands->setObjectName("Bevel2");
    bevelCommands->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevelCommands->setGeometry(8, 138, 216, 118);

    buttonSelectSerial_ = Button("ButtonSelectSerial", QString::fromUtf8("Soros port kiválasztása"),
                                 QRect(16, 16, 200, 25), false);
    panel1_ = new QLabel(this);
    panel1_->setObjectName("Panel1");
    ExposeShownText(panel1_, QString::fromUtf8("Kiválasztott soros port"));
    panel1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel1_->setAlignment(Qt::AlignCenter);
    QFont boldFont = font();
    boldFont.setBold(true);
    panel1_->setFont(boldFont);
    QPalette blue = panel1_->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    panel1_->setPalette(blue);
    panel1_->setGeometry(16, 45, 200, 21);
    btConnect_ = Button("btConnect", QString::fromUtf8("Soros kapcsolat létrehozása"), QRect(16, 72, 200, 25), true);
    btDisconnect_ = Button("btDisconnect", QString::fromUtf8("Soros kapcsolat bontása"), QRect(16, 100, 200, 25), true);
    btStatus_ = Button("btStatus", QString::fromUtf8("Modul állapotának figyelése"), QRect(16, 146, 200, 33), true);
    btParameterSetting_ = Button("btParameterSetting", QString::fromUtf8("Paraméterek beállítása"),
                                 QRect(16, 183, 200, 33), true);
    btGetVer_ = Button("btGetVer", QString::fromUtf8("Modul verzió lekérdezése"), QRect(16, 222, 200, 25), true);
    btSites_ = Button("btSites", QString::fromUtf8("Telephelyek"), QRect(16, 264, 200, 25), true);
    btClose_ = Button("btClose", QString::fromUtf8("Kilépés"), QRect(16, 264 + kSitesRow, 200, 25), true);

    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName("StatusBar1");
    SpeakStatusMessages(statusBar1_, QString::fromUtf8("Állapotsor"));
    statusBar1_->setSizeGripEnabled(false);
    statusBar1_->setGeometry(0, kClientSize.height() - 20, kClientSize.width(), 20);

    connect(buttonSelectSerial_, &QPushButton::clicked, this, &TMainForm::ButtonSelectSerialClick);
    connect(btConnect_, &QPushButton::clicked, this, &TMainForm::btConnectClick);
    connect(btDisconnect_, &QPushButton::clicked, this, &TMainForm::btDisconnectClick);
    connect(btStatus_, &QPushButton::clicked, this, &TMainForm::btStatusClick);
    connect(btParameterSetting_, &QPushButton::clicked, this, &TMainForm::btParameterSettingClick);
    connect(btGetVer_, &QPushButton::clicked, this, &TMainForm::btGetVerClick);
    connect(btClose_, &QPushButton::clicked, this, &TMainForm::btCloseClick);
    connect(btSites_, &QPushButton::clicked, this, &TMainForm::btSitesClick);

    // Ctrl+Alt+D must work whichever control has the focus.
    installEventFilter(this);
    PressButtonsOnEnter(this);

    versionWindowTimer_.setInterval(kVersionWindowIntervalMs);
    connect(&versionWindowTimer_, &QTimer::timeout, this, &TMainForm::ShowVersionReply);

    Dispatcher& dispatcher = link_.Dispatch();
    dispatcher.SetTextConsumer(this);
    dispatcher.SetBlockReplyConsumer(this);
    dispatcher.SetStatusConsumer(&stateForm_);
    link_.ComPort1().OnDeviceLost = [this](TComPort&) { ComPortLost(); };
    // Line errors go to the traffic log's left column, whether or not it is shown.
    link_.OnLineErrors = [this](const LineErrorCounts& errors) {
        formDetails_.Memo2()->AddLine(LineErrorText(errors));
    };

    EnterConnected(false);

    // FormCreate: the remembered port; a missing or unreadable file leaves "COM1".
    try {
        LoadTableFile(advSave_, SettingsFilePath(kSettingsFileName));
        networkPorts_ = NetworkPortsOf(advSave_);
        link_.ComPort1().SetPort(advSave_.Cell(0, 0));
    } catch (const ETableFileError& e) {
        qCDebug(lcMainForm) << "no port settings loaded:" << e.what();
        settingsUnread_ = !e.Missing();
    } catch (const std::exception& e) {
        qCDebug(lcMainForm) << "no port settings loaded:" << e.what();
    }
    portAtStart_ = link_.ComPort1().Port();
    networkPortsAtStart_ = networkPorts_;

    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

TMainForm::~TMainForm() {
    Dispatcher& dispatcher = link_.Dispatch();
    dispatcher.SetTextConsumer(nullptr);
    dispatcher.SetBlockReplyConsumer(nullptr);
    dispatcher.SetStatusConsumer(nullptr);
    link_.ComPort1().OnDeviceLost = nullptr;
    link_.OnLineErrors = nullptr;
    try {
        link_.ComPort1().SetConnected(false);
    } catch (const std::exception& e) {
        // The port object closes itself when it is destroyed; nothing more can be done here.
        qCWarning(lcMainForm) << "closing the port at the end failed:" << e.what();
    }
}

QPushButton* TMainForm::Button(const char* name, const QString& caption, const QRect& geometry, bool bold) {
    QPushButton* b = MakeCommandButton(this, name, caption, {.bold = bold, .geometry = geometry});
    b->installEventFilter(this);
    return b;
}

void TMainForm::SetProductVariant() {
    setWindowTitle(kVariantCaption);
    if (DetachVariantPages) DetachVariantPages();
}

void TMainForm::FormDestroy() {
    const std::string port = link_.ComPort1().Port();
    const std::string path = SettingsFilePath(kSettingsFileName);
    // A file that is there but was not read (too long, unreadable) would be replaced by a table
    // that lacks everything it holds: it stays as it is. Only a choice made in this run is then
    // lost, and the user is told so.
    if (settingsUnread_) {
        qCWarning(lcMainForm) << "the settings file was not read at start and is left as it is";
        if (port == portAtStart_ && networkPorts_ == networkPortsAtStart_) return;
        const QString text = QString::fromUtf8("A(z) %1 fájlt a program induláskor nem tudta beolvasni, ezért nem "
                                               "írta felül: a most választott port (%2) nem maradt meg");
        const QString fullPath = QDir::toNativeSeparators(QString::fromLocal8Bit(path));
        const auto message = ToWin1250(text.arg(fullPath, QString::fromStdString(port)));
        throw EFileError(message.value_or(ToWin1250(text.arg(kSettingsFileName, QString::fromStdString(port)))
                                              .value_or(std::string(kSettingsFileName))));
    }
    advSave_.SetCell(0, 0, port);
    SetNetworkPorts(advSave_, networkPorts_);
    SaveTableFile(advSave_, path);
}

void TMainForm::EnterConnected(bool connected) {
    QPushButton* now = connected ? btDisconnect_ : btConnect_;
    QPushButton* before = connected ? btConnect_ : btDisconnect_;
    // The button that becomes usable is enabled first and takes the focus from any that stops
    // being usable; otherwise disabling the focused button passes the focus along the tab chain
    // to "Kilépés", and a second press of Space would end the program.
    now->setEnabled(true);
    QWidget* focused = focusWidget();
    if (focused == before || (!connected && (focused == btStatus_ || focused == btParameterSetting_ ||
                                             focused == btGetVer_)))
        now->setFocus(Qt::OtherFocusReason);
    btStatus_->setEnabled(connected);
    btParameterSetting_->setEnabled(connected);
    btGetVer_->setEnabled(connected);
    before->setEnabled(false);
}

void TMainForm::ShowStatus(const QString& text, const QString& toolTip) {
    statusBar1_->showMessage(text);
    statusBar1_->setToolTip(toolTip);
    // Said each time, also when the same message repeats (a second failed connection).
    Announce(this, text);
}

QString TMainForm::StatusText() const { return statusBar1_->currentMessage(); }

QString TMainForm::PermissionHint() const {
    const std::string device = ResolvePortDevice(link_.ComPort1().Port()).value_or(std::string());
    const QString path = QString::fromLocal8Bit(device);
    const std::string group = device.empty() ? std::string() : DeviceGroupName(device);
    if (group.empty())
        return QString::fromUtf8("Nincs jogosultsága a(z) %1 eszköz használatához.").arg(path);
    return QString::fromUtf8("Nincs jogosultsága a(z) %1 eszköz használatához. Lépjen be a(z) „%2” "
                             "csoportba (sudo usermod -aG %2 $USER), majd jelentkezzen be újra.")
        .arg(path, QString::fromLocal8Bit(group));
}

void TMainForm::btConnectClick() {
    TComPort& port = link_.ComPort1();
    std::optional<EComPort> failure;
    try {
        port.SetConnected(true);
    } catch (const EComPort& e) {
        qCInfo(lcMainForm) << "port" << port.Port().c_str() << "did not open:" << e.what();
        failure = e;
    }
    if (port.Connected()) {
        EnterConnected(true);
        ShowStatus(StatusConnected());
        return;
    }
    const bool denied = failure && IsPermissionDenied(failure->SystemCode());
    ShowStatus(StatusUnavailable(), denied ? PermissionHint() : QString());
    EnterConnected(false);
}

void TMainForm::btDisconnectClick() {
    ShowStatus(StatusNoConnection());
    link_.ComPort1().SetConnected(false);
    EnterConnected(false);
}

void TMainForm::ComPortLost() {
    qCInfo(lcMainForm) << "the device of" << link_.ComPort1().Port().c_str() << "went away";
    link_.ComPort1().SetConnected(false);
    ShowStatus(StatusUnavailable());
    EnterConnected(false);
}

void TMainForm::ShowPortName(const QString& name) {
    portName_ = name;
    // The panel is narrow: what is shown may be shortened, what is told and hinted is whole.
    panel1_->setToolTip(name);
    panel1_->setAccessibleName(name);
    const int room = panel1_->contentsRect().width() - 2 * panel1_->margin() - kPanelTextPadding;
    ShowText(panel1_, ElidedPortName(name, panel1_->fontMetrics(), room));
}

void TMainForm::ButtonSelectSerialClick() {
    if (!Chooser) return;
    std::string portNev;
    QString portHNev;
    if (!Chooser(portName_, portNev, portHNev, networkPorts_)) return;
    ShowPortName(portHNev);
    Announce(this, QString::fromUtf8("Kiválasztott soros port: %1").arg(portHNev));
    TComPort& port = link_.ComPort1();
    const bool wasConnected = port.Connected();
    try {
        port.SetPort(portNev);
    } catch (...) {
        // The port closed and could not reopen under the new name: the window must not go on
        // claiming a connection. The error itself still reaches the error box.
        if (wasConnected && !port.Connected()) {
            ShowStatus(StatusUnavailable());
            EnterConnected(false);
        }
        throw;
    }
}

void TMainForm::btStatusClick() {
    stateForm_.show();
    stateForm_.raise();
    stateForm_.activateWindow();
}

void TMainForm::btParameterSettingClick() {
    if (!formDownload_) return;
    formDownload_->show();
    formDownload_->raise();
    formDownload_->activateWindow();
}

void TMainForm::btGetVerClick() {
    if (!link_.ComPort1().Connected()) {
        ShowPlainMessage(StatusNoConnection());
        return;
    }
    link_.Reply().ReadReplyReady = 0;
    link_.SendCommand(kCmdReadBlock, kVersionReadArguments.data());
}

void TMainForm::BlockReplyCompleted() {
    if (!versionWindowTimer_.isActive()) versionWindowTimer_.start();
}

void TMainForm::ShowVersionReply() {
    versionWindowTimer_.stop();
    const std::optional<std::string> text = VersionReplyText(link_.Reply().VersionReplyBuffer);
    if (!text) return;
    QString shown = FromWin1250(*text);
    // The box shows its text as a C string: a NUL byte in the record ends what is seen.
    if (const auto nul = shown.indexOf(QChar(0)); nul >= 0) shown.truncate(nul);
    ShowMessageBox({BoxIcon::None, "Info", shown});
}

void TMainForm::AppendLogText(LogPane pane, const std::string& text, bool force) {
    if (!force && !formDetails_.isVisible()) return;
    LogMemoView* memo = pane == LogPane::MemoState ? stateForm_.MemoState() : formDetails_.Pane(pane);
    if (memo) orbiqa::AppendLogText(*memo, text);
}

void TMainForm::btCloseClick() { close(); }

void TMainForm::btSitesClick() {
    if (OpenSites) OpenSites();
}

void TMainForm::closeEvent(QCloseEvent* e) {
    QWidget::closeEvent(e);
    if (e->isAccepted() && OnClosed) OnClosed();
}

bool TMainForm::IsDetailsShortcut(const QEvent* event) const {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers();
    return key->key() == Qt::Key_D && (mods & Qt::ControlModifier) && (mods & Qt::AltModifier) &&
           !(mods & Qt::ShiftModifier);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (IsDetailsShortcut(event)) {
        formDetails_.show();
        formDetails_.raise();
        formDetails_.activateWindow();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString TMainForm::DroppedParameterFile(const QList<QUrl>& urls) {
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        const QString name = url.toLocalFile();
        if (name.endsWith(QStringLiteral(".vr3"), Qt::CaseInsensitive)) return name;
    }
    return {};
}

void TMainForm::dragEnterEvent(QDragEnterEvent* e) {
    if (OnParameterFileDropped && e->mimeData()->hasUrls() && !DroppedParameterFile(e->mimeData()->urls()).isEmpty())
        e->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* e) {
    const QString name = OnParameterFileDropped && e->mimeData()->hasUrls()
                             ? DroppedParameterFile(e->mimeData()->urls())
                             : QString();
    if (name.isEmpty()) return;
    e->acceptProposedAction();
    // The editor opens modally: not inside the drag source's drop, which would hold it (the file
    // manager) until the editor closes.
    QTimer::singleShot(0, this, [this, name] { OnParameterFileDropped(name); });
}

}  // namespace orbiqa

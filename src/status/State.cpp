#include "status/State.h"

#include <QHideEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>

#include "diag/LogMemoView.h"
#include "link/EComPort.h"
#include "link/ModuleLink.h"
#include "status/ModuleStatusText.h"
#include "widgets/Accessibility.h"
#include "widgets/Announcer.h"
#include "widgets/CommandButton.h"
#include "widgets/QtText.h"
#include "widgets/WindowFont.h"

namespace orbiqa {

namespace {
constexpr QSize kClientSize(368, 294);
constexpr int kFontPointSize = 8;

QFont Bold(QFont f) {
    f.setBold(true);
    return f;
}

void ShowLabel(QLabel* label, const StatusLabel& s) {
    ShowText(label, FromWin1250(s.Text));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(s.Colour.Red, s.Colour.Green, s.Colour.Blue));
    label->setPalette(p);
}
}  // namespace

TStateForm::TStateForm(ModuleLink& link, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint |
                          Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      link_(link) {
    setObjectName("StateForm");
    setWindowTitle(QString::fromUtf8("A modul állapota"));
    ExposeAsWindow(this);
    CloseOnEscape(this);
    setFont(WindowFont(kFontPointSize));
    setFixedSize(kClientSize);

    HeaderPanel("PanelLineVoltage", QString::fromUtf8("Vezetékes vonal"), "lbLineVoltage", lbLineVoltage_,
                QRect(8, 8, 118, 64));
    HeaderPanel("PanelIN1", "IN1", "lbIN1", lbIN1_, QRect(130, 8, 62, 64));
    HeaderPanel("PanelGSMLine", QString::fromUtf8("GSM vonal státusz"), "lbGSMLine", lbGSMLine_,
                QRect(196, 8, 164, 64));

    const QString powerCaption = QString::fromUtf8("GSM térerő (0-31):");
    auto* lbGSMpower = new QLabel(powerCaption, this);
    lbGSMpower->setObjectName("lbGSMpower");
    lbGSMpower->setAccessibleName(powerCaption);
    lbGSMpower->setGeometry(8, 82, 110, 18);
    lbGSMpowVal_ = new QLabel("0", this);
    lbGSMpowVal_->setObjectName("lbGSMpowVal");
    ExposeShownText(lbGSMpowVal_, QString::fromUtf8("GSM térerő"), lbGSMpower);
    lbGSMpowVal_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lbGSMpowVal_->setGeometry(118, 82, 28, 18);
    pbTerero_ = new QProgressBar(this);
    pbTerero_->setObjectName("pbTerero");
    ExposeAsLevel(pbTerero_);  // before anything asks for its accessible interface
    pbTerero_->setAccessibleName(QString::fromUtf8("GSM térerő sáv"));
    pbTerero_->setRange(0, kSignalMaximum);
    pbTerero_->setValue(0);
    pbTerero_->setTextVisible(false);
    pbTerero_->setGeometry(156, 82, 204, 18);

    const QString messagesCaption = QString::fromUtf8("A modul állapot üzenetei:");
    auto* lbStateMessages = new QLabel(messagesCaption, this);
    lbStateMessages->setObjectName("lbStateMessages");
    lbStateMessages->setAccessibleName(messagesCaption);
    lbStateMessages->setGeometry(8, 108, 352, 16);
    memoState_ = new LogMemoView("MemoState", QString::fromUtf8("A modul állapot üzenetei"), this);
    lbStateMessages->setBuddy(memoState_);
    memoState_->setGeometry(8, 126, 352, 128);

    QPushButton* btClearMsg = MakeCommandButton(this, "btClearMsg", QString::fromUtf8("Üzenetablak törlése"),
                                                {.bold = true, .geometry = {8, 262, 172, 25}});
    QPushButton* btClose = MakeCommandButton(this, "btClose", QString::fromUtf8("Ablak bezárása"),
                                             {.bold = true, .geometry = {188, 262, 172, 25}});

    timerState_.setInterval(kStatusPollIntervalMs);
    connect(&timerState_, &QTimer::timeout, this, &TStateForm::TimerStateTimer);
    connect(btClearMsg, &QPushButton::clicked, this, &TStateForm::btClearMsgClick);
    connect(btClose, &QPushButton::clicked, this, &TStateForm::btCloseClick);

    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

QFrame* TStateForm::HeaderPanel(const char* name, const QString& caption, const char* labelName, QLabel*& label,
                                const QRect& geometry) {
    auto* panel = new QFrame(this);
    panel->setObjectName(name);
    panel->setAccessibleName(caption);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(geometry);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    auto* header = new QLabel(caption, panel);
    header->setFont(Bold(font()));
    header->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    header->setAccessibleName(caption);
    layout->addWidget(header);
    label = new QLabel(".", panel);
    label->setObjectName(labelName);
    // A screen reader says the state itself, labelled by the panel's caption.
    ExposeShownText(label, caption, header);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    layout->addWidget(label, 1);
    return panel;
}

void TStateForm::ModuleStatusReceived(const std::array<std::uint8_t, 4>& statusBytes) {
    ModuleStatusBytes = statusBytes;
    statusReceived_ = true;
    ShowModuleStatus();
    if (isVisible()) SayChangedValues();
}

void TStateForm::ShowModuleStatus() {
    const ModuleStatusView v = DescribeModuleStatus(ModuleStatusBytes);
    ShowLabel(lbIN1_, v.IN1);
    ShowLabel(lbLineVoltage_, v.LineVoltage);
    ShowLabel(lbGSMLine_, v.GSMLine);
    pbTerero_->setValue(v.SignalBarPosition);
    ShowText(lbGSMpowVal_, FromWin1250(v.SignalText));
}

void TStateForm::SayChangedValues() {
    const std::array<QLabel*, 4> values{lbIN1_, lbLineVoltage_, lbGSMLine_, lbGSMpowVal_};
    QStringList changed;
    for (std::size_t k = 0; k < values.size(); ++k) {
        const QString now = values[k]->accessibleDescription() + QStringLiteral(": ") + values[k]->text();
        if (now == said_[k]) continue;
        said_[k] = now;
        changed << now;
    }
    if (!changed.isEmpty()) Announce(this, changed.join(QStringLiteral(", ")));
}

void TStateForm::TimerStateTimer() {
    try {
        link_.SendTextLine(kStatusPollLine);
    } catch (const EComPort&) {
        // A poll that found the adapter pulled out: the main window reports the loss and closes
        // the port, so a box for this write would only say it again, once for every tick.
        if (!link_.ComPort1().DeviceGone()) throw;
    }
}

void TStateForm::btClearMsgClick() { memoState_->clear(); }

void TStateForm::btCloseClick() { close(); }

// Minimising and restoring reach the window as spontaneous hide and show events; the window
// stays shown through them, and so does the poll.
void TStateForm::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (e->spontaneous()) return;
    timerState_.start();
    said_ = {};
    // The values already known are said once the window has the focus, after the screen reader
    // has said the window and its focused button; a status arriving first says them instead.
    sayOnActivation_ = statusReceived_;
}

void TStateForm::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() != QEvent::ActivationChange || !isActiveWindow() || !sayOnActivation_) return;
    sayOnActivation_ = false;
    QTimer::singleShot(0, this, [this] {
        if (isVisible()) SayChangedValues();
    });
}

void TStateForm::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (!e->spontaneous()) timerState_.stop();
}

std::optional<int> TStateForm::LastSignal() const {
    if (!statusReceived_) return std::nullopt;
    return ModuleStatusBytes[SignalStrength];
}

}  // namespace orbiqa

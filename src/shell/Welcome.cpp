#include "shell/Welcome.h"

#include <QCoreApplication>
#include <QLabel>
#include <QScreen>

#include "widgets/Accessibility.h"
#include "widgets/WindowFont.h"

namespace orbiqa {

namespace {
constexpr QSize kClientSize(496, 309);
// The border is a margin around the client area in the window's own colour, not a drawn frame.
constexpr int kBorderWidth = 2;
constexpr int kVersionRight = 490;
constexpr int kVersionTop = 292;
constexpr int kFontPointSize = 8;
const char* const kVersionText = " v1.05";
const QColor kGrey(128, 128, 128);
}  // namespace

TWelcomeForm::TWelcomeForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("WelcomeForm");
    setWindowTitle(QCoreApplication::applicationName());
    ExposeAsWindow(this);
    setFixedSize(kClientSize + QSize(2 * kBorderWidth, 2 * kBorderWidth));
    QPalette grey = palette();
    grey.setColor(QPalette::Window, kGrey);
    setPalette(grey);
    setAutoFillBackground(true);

    client_ = new QWidget(this);
    client_->setObjectName("WelcomeClient");
    client_->setGeometry(QRect(QPoint(kBorderWidth, kBorderWidth), kClientSize));

    lbVersion_ = new QLabel(kVersionText, client_);
    lbVersion_->setObjectName("lbVersion");
    lbVersion_->setAccessibleName(kVersionText);
    QFont bold = WindowFont(kFontPointSize);
    bold.setBold(true);
    lbVersion_->setFont(bold);
    lbVersion_->setAttribute(Qt::WA_TranslucentBackground);
    lbVersion_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lbVersion_->adjustSize();
    lbVersion_->move(kVersionRight - lbVersion_->width(), kVersionTop);

    timer1_.setInterval(kTimer1IntervalMs);
    connect(&timer1_, &QTimer::timeout, this, &TWelcomeForm::Timer1Timer);

    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void TWelcomeForm::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (shownOnce_) return;
    shownOnce_ = true;
    if (OnCreateMainForm) OnCreateMainForm();
    timer1_.start();
}

void TWelcomeForm::Timer1Timer() {
    // Stopped first, so that an error while showing the main window does not repeat every tick.
    timer1_.stop();
    hide();
    if (OnShowMainForm) OnShowMainForm();
}

void TWelcomeForm::closeEvent(QCloseEvent* e) {
    QWidget::closeEvent(e);
    QCoreApplication::quit();
}

}  // namespace orbiqa

#include "shell/Welcome.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

namespace orbiqa {

namespace {
constexpr QSize kClientSize(496, 309);
constexpr int kBorderWidth = 2;
constexpr int kVersionRight = 490;
constexpr int kVersionTop = 292;
const char* const kVersionText = " v1.05";
}  // namespace

TWelcomeForm::TWelcomeForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("WelcomeForm");
    setWindowTitle(QCoreApplication::applicationName());
    setFixedSize(kClientSize);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(grey);
    setAutoFillBackground(true);

    lbVersion_ = new QLabel(kVersionText, this);
    lbVersion_->setObjectName("lbVersion");
    lbVersion_->setAccessibleName(kVersionText);
    QFont bold = font();
    bold.setPointSize(8);
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
    timer1_.stop();
    hide();
    if (OnShowMainForm) OnShowMainForm();
}

void TWelcomeForm::closeEvent(QCloseEvent* e) {
    QWidget::closeEvent(e);
    QCoreApplication::quit();
}

void TWelcomeForm::paintEvent(QPaintEvent* e) {
    QWidget::paintEvent(e);
    QPainter p(this);
    QPen pen(palette().color(QPalette::Dark));
    pen.setWidth(kBorderWidth);
    p.setPen(pen);
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}

}  // namespace orbiqa

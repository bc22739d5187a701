#include "diag/SerialDetails.h"

#include <QApplication>
#include <QPushButton>

#include "widgets/Accessibility.h"
#include "widgets/WindowFont.h"
#include "widgets/CommandButton.h"

namespace orbiqa {

namespace {
// Client area and control geometry of the window as designed (outer size 916 x 592).
constexpr QSize kClientSize(907, 562);
constexpr QPoint kScreenPosition(268, 126);
constexpr int kColumnLeft = 8;
constexpr int kColumnMiddle = 321;
constexpr int kColumnRight = 634;
constexpr int kTop = 8;
constexpr int kMemoWidth = 305;
constexpr int kRightMemoWidth = 265;
constexpr int kFullHeight = 513;
constexpr int kButtonTop = 529;
constexpr int kFontPointSize = 8;
}  // namespace

TFormDetails::TFormDetails(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("FormDetails");
    setWindowTitle("Serial Port Details");
    ExposeAsWindow(this);
    CloseOnEscape(this);
    setFont(WindowFont(kFontPointSize));
    resize(kClientSize);
    move(kScreenPosition);

    memo2_ = new LogMemoView("Memo2", QString::fromUtf8("Vonali hibák"), this);
    memo2_->setGeometry(kColumnLeft, kTop, kMemoWidth, kFullHeight);
    // The platform theme's menu palette carries the system's menu colour.
    QPalette menuColoured = memo2_->palette();
    menuColoured.setColor(QPalette::Base, QApplication::palette("QMenu").color(QPalette::Window));
    memo2_->setPalette(menuColoured);

    memo3_ = new LogMemoView("Memo3", QString::fromUtf8("1. csatorna"), this);
    memo3_->setGeometry(kColumnMiddle, kTop, kMemoWidth, 153);
    memo4_ = new LogMemoView("Memo4", QString::fromUtf8("2. csatorna"), this);
    memo4_->setGeometry(kColumnMiddle, kTop + 153 + 8, kMemoWidth, 145);
    memoDTMF_ = new LogMemoView("MemoDTMF", QString::fromUtf8("DTMF csatorna"), this);
    memoDTMF_->setGeometry(kColumnMiddle, kTop + 153 + 8 + 145 + 6, kMemoWidth, 201);
    memo5_ = new LogMemoView("Memo5", QString::fromUtf8("3. csatorna"), this);
    memo5_->setGeometry(kColumnRight, kTop, kRightMemoWidth, kFullHeight);

    btClear_ = MakeCommandButton(this, "btClear", "Clear All",
                                 {.geometry = {kColumnLeft, kButtonTop, 89, 25}});
    close_ = MakeCommandButton(this, "Close", "Close",
                               {.geometry = {kColumnRight + kRightMemoWidth - 75, kButtonTop, 75, 25}});

    connect(btClear_, &QPushButton::clicked, this, &TFormDetails::btClearClick);
    connect(close_, &QPushButton::clicked, this, &TFormDetails::CloseClick);
}

LogMemoView* TFormDetails::Pane(LogPane pane) {
    switch (pane) {
        case LogPane::Memo3: return memo3_;
        case LogPane::Memo4: return memo4_;
        case LogPane::Memo5: return memo5_;
        case LogPane::MemoDTMF: return memoDTMF_;
        case LogPane::MemoState: return nullptr;
    }
    return nullptr;
}

void TFormDetails::btClearClick() {
    for (LogMemoView* m : {memo2_, memo3_, memo4_, memo5_, memoDTMF_}) m->clear();
}

void TFormDetails::CloseClick() { hide(); }

}  // namespace orbiqa

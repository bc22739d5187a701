#include "widgets/IPAddressControl.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <algorithm>

namespace orbiqa {

namespace {
constexpr int MaxFieldDigits = 3;
}

// The four edits seen as the visible part of the control.
class TIPAddressControl::Display : public IPAddressDisplay {
public:
    explicit Display(TIPAddressControl& owner) : owner_(owner) {}
    bool HasWindow() const override { return owner_.hasWindow_; }
    bool AllFieldsEmpty() const override {
        return std::all_of(owner_.edits_.begin(), owner_.edits_.end(),
                           [](QLineEdit* e) { return e->text().isEmpty(); });
    }
    std::array<int, IPAddressFieldCount> ShownValues() const override {
        std::array<int, IPAddressFieldCount> values{};
        for (std::size_t k = 0; k < values.size(); ++k) values[k] = owner_.edits_[k]->text().toInt();
        return values;
    }
    void ShowValues(const std::array<int, IPAddressFieldCount>& values) override {
        for (std::size_t k = 0; k < values.size(); ++k) {
            owner_.edits_[k]->setText(QString::number(values[k]));
            owner_.textAtEntry_[k] = owner_.edits_[k]->text();
        }
    }
    void Clear() override {
        for (std::size_t k = 0; k < owner_.edits_.size(); ++k) {
            owner_.edits_[k]->clear();
            owner_.textAtEntry_[k].clear();
        }
    }
    void SetFieldRange(int, const TIPAddrRange&) override {}  // the edits clamp on leaving a field

private:
    TIPAddressControl& owner_;
};

TIPAddressControl::TIPAddressControl(QWidget* parent)
    : QFrame(parent), display_(std::make_unique<Display>(*this)), fields_(*display_) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::StrongFocus);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(0);
    static const QRegularExpression digits(QStringLiteral("[0-9]{0,3}"));
    for (int k = 0; k < IPAddressFieldCount; ++k) {
        if (k > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            row->addWidget(dot);
        }
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Field%1").arg(k));
        edit->setAccessibleName(tr("%1. oktett").arg(k + 1));
        edit->setFrame(false);
        edit->setAlignment(Qt::AlignCenter);
        edit->setMaxLength(MaxFieldDigits);
        edit->setValidator(new QRegularExpressionValidator(digits, edit));
        edit->setTextMargins(0, 0, 0, 0);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this, k](const QString& text) {
            if (OnChange) OnChange();
            // A full field moves on by itself, as the platform's address control does.
            if (text.size() == MaxFieldDigits && edits_[static_cast<std::size_t>(k)]->cursorPosition() == MaxFieldDigits &&
                k + 1 < IPAddressFieldCount)
                FocusField(k + 1, false);
        });
        row->addWidget(edit, 1);
        edits_[static_cast<std::size_t>(k)] = edit;
    }
    setFocusProxy(edits_[0]);
    setFixedSize(DefaultWidth, DefaultHeight);
    connect(qApp, &QApplication::focusChanged, this, &TIPAddressControl::AppFocusChanged);
}

TIPAddressControl::~TIPAddressControl() {
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void TIPAddressControl::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    if (hasWindow_) return;
    hasWindow_ = true;
    if (autoSize_) SizeToFont();
    fields_.WindowCreated();
}

void TIPAddressControl::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange) SizeToFont();
}

void TIPAddressControl::SizeToFont() {
    const QFontMetrics metrics(font());
    setFixedSize(8 * (metrics.maxWidth() + 8), metrics.height() + 8);
}

int TIPAddressControl::IndexOf(QObject* edit) const {
    for (int k = 0; k < IPAddressFieldCount; ++k)
        if (edits_[static_cast<std::size_t>(k)] == edit) return k;
    return -1;
}

void TIPAddressControl::FocusField(int index, bool atEnd) {
    QLineEdit* edit = edits_[static_cast<std::size_t>(index)];
    edit->setFocus(Qt::OtherFocusReason);
    if (atEnd)
        edit->end(false);
    else
        edit->selectAll();
}

// The user leaves a field: keep the value within the field's range and take it over.
void TIPAddressControl::FieldLeft(int index) {
    const auto i = static_cast<std::size_t>(index);
    QLineEdit* edit = edits_[i];
    if (edit->text() == textAtEntry_[i]) return;
    int value = 0;
    if (!edit->text().isEmpty()) {
        const TIPAddrRange& range = fields_.Range(index);
        value = std::clamp(edit->text().toInt(), int{range.LowerLimit}, int{range.UpperLimit});
        edit->setText(QString::number(value));
    }
    textAtEntry_[i] = edit->text();
    fields_.FieldChanged(index, value);
}

bool TIPAddressControl::eventFilter(QObject* watched, QEvent* event) {
    const int index = IndexOf(watched);
    if (index < 0) return QFrame::eventFilter(watched, event);
    QLineEdit* edit = edits_[static_cast<std::size_t>(index)];
    if (event->type() == QEvent::FocusOut) {
        FieldLeft(index);
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool atStart = edit->cursorPosition() == 0 && !edit->hasSelectedText();
        const bool atEnd = edit->cursorPosition() == edit->text().size() && !edit->hasSelectedText();
        switch (key->key()) {
            case Qt::Key_Period:
            case Qt::Key_Space:
                if (!edit->text().isEmpty() && index + 1 < IPAddressFieldCount) FocusField(index + 1, false);
                return true;
            case Qt::Key_Right:
                if (atEnd && index + 1 < IPAddressFieldCount) {
                    FocusField(index + 1, false);
                    edits_[static_cast<std::size_t>(index + 1)]->home(false);
                    return true;
                }
                break;
            case Qt::Key_Left:
            case Qt::Key_Backspace:
                if (atStart && index > 0) {
                    FocusField(index - 1, true);
                    return true;
                }
                break;
            default: break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void TIPAddressControl::AppFocusChanged(QWidget* old, QWidget* now) {
    const bool wasInside = old && IndexOf(old) >= 0;
    const bool isInside = now && IndexOf(now) >= 0;
    if (!wasInside && isInside && OnEnter) OnEnter();
    if (wasInside && !isInside && OnExit) OnExit();
}

}  // namespace orbiqa

#include "widgets/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orbiqa {

TRadioGroup::TRadioGroup(const QStringList& items, QWidget* parent)
    : QGroupBox(parent), group_(new QButtonGroup(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 4, 8, 4);
    column->setSpacing(2);
    for (int k = 0; k < items.size(); ++k) {
        auto* button = new QRadioButton(items[k], this);
        group_->addButton(button, k);
        column->addWidget(button);
        buttons_.push_back(button);
    }
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) { Select(id); });
}

void TRadioGroup::SetItemIndex(int index) {
    if (index < -1 || index >= Count()) index = -1;
    if (index == itemIndex_) return;
    if (index < 0) {
        // An exclusive group cannot uncheck its last button by itself.
        group_->setExclusive(false);
        for (auto* button : buttons_) button->setChecked(false);
        group_->setExclusive(true);
    } else {
        Button(index)->setChecked(true);
    }
    Select(index);
}

void TRadioGroup::Select(int index) {
    if (index == itemIndex_) return;
    itemIndex_ = index;
    if (OnClick) OnClick();
}

}  // namespace orbiqa

#pragma once
// A framed group of radio buttons addressed by item index, like a classic radio group: -1 means
// no item is selected. OnClick runs whenever the selection changes, whether the user clicked or
// SetItemIndex changed it, so that code which loads a value behaves like a click.
#include <QGroupBox>
#include <QStringList>
#include <functional>
#include <vector>

class QButtonGroup;
class QRadioButton;

namespace orbiqa {

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QStringList& items, QWidget* parent = nullptr);

    int ItemIndex() const { return itemIndex_; }
    /// Selects an item (or none with -1); runs OnClick only when the selection changes.
    void SetItemIndex(int index);
    QRadioButton* Button(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }
    int Count() const { return static_cast<int>(buttons_.size()); }

    std::function<void()> OnClick;

private:
    void Select(int index);

    QButtonGroup* group_;
    std::vector<QRadioButton*> buttons_;
    int itemIndex_ = -1;
};

}  // namespace orbiqa

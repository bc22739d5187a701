#pragma once
// A numeric edit with its up-down arrows in one control. The position always stays within the
// range: arrows stop at the ends, typed text that is not a number in range is refused, and a value
// set from outside the range is clamped, so the control never shows an illegal value.
#include <QSpinBox>

namespace orbiqa {

class TUpDownEdit : public QSpinBox {
    Q_OBJECT
public:
    TUpDownEdit(int minimum, int maximum, QWidget* parent = nullptr);

    int Position() const { return value(); }
    void SetPosition(int position) { setValue(position); }
    /// Names the text part separately, so that it can be found as the edit it is.
    void SetEditName(const QString& name);
    /// Thousands separators in the shown number (the typed number may carry them or not).
    void SetThousands(bool thousands);
};

}  // namespace orbiqa

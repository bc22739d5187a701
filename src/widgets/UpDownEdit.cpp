#include "widgets/UpDownEdit.h"

#include <QLineEdit>

namespace orbiqa {

TUpDownEdit::TUpDownEdit(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    setValue(minimum);
    setWrapping(false);
    setAccelerated(true);
    setKeyboardTracking(false);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The hardware's settings are plain numbers: no locale digits or signs.
    setLocale(QLocale::c());
}

void TUpDownEdit::SetEditName(const QString& name) { lineEdit()->setObjectName(name); }

void TUpDownEdit::SetThousands(bool thousands) {
    // Hungarian groups thousands with a space, as the user expects to read them.
    setLocale(thousands ? QLocale(QLocale::Hungarian, QLocale::Hungary) : QLocale::c());
    setGroupSeparatorShown(thousands);
}

}  // namespace orbiqa

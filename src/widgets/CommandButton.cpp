#include "widgets/CommandButton.h"

#include <QPushButton>

namespace orbiqa {

QString SpokenCaption(const QString& caption) {
    QString spoken;
    spoken.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        // "&&" stands for one ampersand; a lone "&" only marks the next letter.
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) {
                spoken += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        spoken += caption[i];
    }
    return spoken;
}

QPushButton* MakeCommandButton(QWidget* parent, const QString& objectName, const QString& caption,
                               const CommandButtonLook& look) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    button->setAccessibleName(SpokenCaption(caption));
    if (look.bold) {
        // The font the button has from its window, made bold.
        QFont font = button->font();
        font.setBold(true);
        button->setFont(font);
    }
    if (!look.geometry.isNull()) button->setGeometry(look.geometry);
    switch (look.enter) {
        case ButtonEnter::Style: break;
        case ButtonEnter::Default: button->setDefault(true); break;
        case ButtonEnter::Never: button->setAutoDefault(false); break;
    }
    return button;
}

}  // namespace orbiqa

#include "widgets/WindowFont.h"

#include <QFontDatabase>

namespace orbiqa {

QStringList WindowFontFamilies() {
    QStringList families{QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif")};
    const QString platform = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    if (!families.contains(platform)) families << platform;
    return families;
}

QFont WindowFont(int pointSize) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setFamilies(WindowFontFamilies());
    font.setPointSize(pointSize);
    return font;
}

}  // namespace orbiqa

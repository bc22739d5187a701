#include "widgets/QtText.h"

#include "base/Win1250.h"

namespace orbiqa {

QString FromWin1250(const std::string& text) {
    const std::string utf8 = Win1250ToUtf8(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> ToWin1250(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToWin1250(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace orbiqa

#include "shell/PortPanelText.h"

#include <QFontMetrics>
#include <QRegularExpression>
#include <optional>

namespace orbiqa {
namespace {

const QChar kEllipsis(0x2026);

// head shortened in its middle so that head + tail fits, or nothing when tail alone leaves no
// room for the ellipsis.
std::optional<QString> WithTail(const QString& head, const QString& tail, const QFontMetrics& fm, int width) {
    const int room = width - fm.horizontalAdvance(tail);
    if (room < fm.horizontalAdvance(kEllipsis)) return std::nullopt;
    return fm.elidedText(head, Qt::ElideMiddle, room) + tail;
}

}  // namespace

QString ElidedPortName(const QString& name, const QFontMetrics& fm, int width) {
    if (fm.horizontalAdvance(name) <= width) return name;

    // "scheme://host:port": the scheme goes before the host, the host's middle before the port.
    static const QRegularExpression address(QStringLiteral("^([A-Za-z0-9]+://)(.+)(:[0-9]+)$"));
    if (const auto m = address.match(name); m.hasMatch()) {
        const QString scheme = m.captured(1);
        const QString host = m.captured(2);
        const QString port = m.captured(3);
        if (fm.horizontalAdvance(host + port) <= width) {
            if (const auto shown = WithTail(scheme, host + port, fm, width)) return *shown;
            return host + port;
        }
        if (const auto shown = WithTail(host, port, fm, width)) return *shown;
        return fm.elidedText(name, Qt::ElideLeft, width);
    }

    // A display name ending in "(COMn)": the description before it gives way.
    static const QRegularExpression comName(QStringLiteral("^(.*?)(\\s*\\(COM[0-9]+\\))$"));
    if (const auto m = comName.match(name); m.hasMatch() && !m.captured(1).isEmpty()) {
        if (const auto shown = WithTail(m.captured(1), m.captured(2), fm, width)) return *shown;
        return fm.elidedText(name, Qt::ElideLeft, width);
    }
    return fm.elidedText(name, Qt::ElideMiddle, width);
}

}  // namespace orbiqa

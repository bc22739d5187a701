#include "widgets/Announcer.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QWidget>

namespace orbiqa {

Q_LOGGING_CATEGORY(lcAnnouncer, "orbiqa.widgets.announce", QtInfoMsg)

namespace {
Announcer* inUse = nullptr;

QWidget* SpeakingWindow(QWidget* source) {
    if (source && source->window()->isVisible()) return source->window();
    QWidget* active = QApplication::activeWindow();
    return active && active->isVisible() ? active : nullptr;
}
}  // namespace

void Announce(QWidget* source, const QString& text) {
    const QString said = text.trimmed();
    if (said.isEmpty()) return;
    QWidget* window = SpeakingWindow(source);
    if (!window) return;
    Announcer& announcer = inUse ? *inUse : SystemAnnouncer();
    if (!announcer.Say(window, said)) qCDebug(lcAnnouncer) << "not passed on:" << said;
}

Announcer* SetAnnouncer(Announcer* announcer) {
    Announcer* before = inUse;
    inUse = announcer;
    return before;
}

}  // namespace orbiqa

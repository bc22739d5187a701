// Linux: a notification that Orca speaks. Orca drops name and description changes of objects
// away from the focus, but speaks an object of the notification role when it becomes showing:
// its role name, its name and its description. Each window gets one such object, a child
// widget of no size that is never seen; saying a sentence names it with the sentence and shows
// it again, which sends the "showing" state change. It hides again soon after: a notification
// still showing is read out once more whenever its window becomes active again.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QTimer>
#include <QWidget>

#include "widgets/Announcer.h"

namespace orbiqa {

namespace {

constexpr const char* kNoticeName = "AnnouncementNotice";
// Long enough for a screen reader busy with other events to read the notice while it shows.
constexpr int kNoticeShownMs = 2000;

class Notice : public QWidget {
public:
    explicit Notice(QWidget* window) : QWidget(window) {
        setObjectName(kNoticeName);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(0, 0, 0, 0);
        hide();
        hideTimer_.setSingleShot(true);
        hideTimer_.setInterval(kNoticeShownMs);
        connect(&hideTimer_, &QTimer::timeout, this, &QWidget::hide);
    }

    void Show(const QString& text) {
        // Hidden first, so that showing it is a change even when the sentence repeats.
        hide();
        setAccessibleName(text);
        show();
        hideTimer_.start();
    }

private:
    QTimer hideTimer_;
};

QAccessibleInterface* NoticeFactory(const QString& /*className*/, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || widget->objectName() != QLatin1String(kNoticeName) ||
        !dynamic_cast<Notice*>(widget))
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Notification);
}

class LinuxAnnouncer : public Announcer {
public:
    LinuxAnnouncer() { QAccessible::installFactory(NoticeFactory); }

    bool Say(QWidget* window, const QString& text) override {
        auto* notice = window->findChild<Notice*>(kNoticeName, Qt::FindDirectChildrenOnly);
        if (!notice) notice = new Notice(window);
        notice->Show(text);
        return QAccessible::isActive();
    }
};

}  // namespace

Announcer& SystemAnnouncer() {
    static LinuxAnnouncer announcer;
    return announcer;
}

}  // namespace orbiqa

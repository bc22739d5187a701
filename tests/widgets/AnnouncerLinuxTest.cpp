// The Linux announcer: a sentence shows a notification named by it, which is what Orca speaks
// (the Orca test in tests/a11y hears it). Offscreen there is no accessibility bridge to send
// the "showing" change to, so the notice's own show events stand for it here.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QEvent>
#include <QWidget>

#include "widgets/Announcer.h"

using namespace orbiqa;

namespace {

struct ShowCounter : QObject {
    int shows = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) ++shows;
        return false;
    }
};

QWidget* Notice(QWidget& window) {
    const auto notices = window.findChildren<QWidget*>("AnnouncementNotice");
    return notices.size() == 1 ? notices[0] : nullptr;
}

}  // namespace

TEST(AnnouncerLinux, EachSentenceShowsTheWindowsNotificationNamedByIt) {
    QWidget window;
    window.resize(200, 100);
    window.show();
    Announce(&window, QString::fromUtf8(" Soros kapcsolat rendben."));
    QWidget* notice = Notice(window);
    ASSERT_NE(notice, nullptr);
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(notice);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->role(), QAccessible::Notification);
    EXPECT_EQ(node->text(QAccessible::Name), QString::fromUtf8("Soros kapcsolat rendben."));
    EXPECT_TRUE(notice->isVisible());
    // Never seen and never in the way of the keyboard or the mouse.
    EXPECT_TRUE(notice->size().isEmpty());
    EXPECT_EQ(notice->focusPolicy(), Qt::NoFocus);

    ShowCounter counter;
    notice->installEventFilter(&counter);
    Announce(&window, QString::fromUtf8(" Soros kapcsolat rendben."));  // a repeat is shown again
    Announce(&window, "Beolvasás kész");
    Announce(&window, "  ");  // nothing to say
    EXPECT_EQ(counter.shows, 2);
    EXPECT_EQ(Notice(window), notice);  // one notice per window
    EXPECT_EQ(node->text(QAccessible::Name), QString::fromUtf8("Beolvasás kész"));
}

TEST(AnnouncerLinux, AHiddenWindowWithNoOtherShownSaysNothing) {
    QWidget window;
    Announce(&window, "Beolvasás kész");
    EXPECT_EQ(Notice(window), nullptr);
}

// The Linux announcer: a sentence is a notification that becomes showing, which is what Orca
// speaks (the Orca test in tests/a11y hears it); here the accessibility events themselves.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QWidget>

#include "widgets/Announcer.h"

using namespace orbiqa;

namespace {

struct Shown {
    QAccessible::Role role;
    QString name;
};
std::vector<Shown> shown;

void Record(QAccessibleEvent* event) {
    if (event->type() != QAccessible::ObjectShow) return;
    QAccessibleInterface* node = event->accessibleInterface();
    if (node) shown.push_back({node->role(), node->text(QAccessible::Name)});
}

}  // namespace

TEST(AnnouncerLinux, EachSentenceShowsANotificationNamedByIt) {
    QWidget window;
    window.resize(200, 100);
    window.show();
    shown.clear();
    QAccessible::installUpdateHandler(Record);

    Announce(&window, QString::fromUtf8(" Soros kapcsolat rendben."));
    Announce(&window, QString::fromUtf8(" Soros kapcsolat rendben."));  // a repeat is said again
    Announce(&window, QString());                                        // nothing to say
    QAccessible::installUpdateHandler(nullptr);

    ASSERT_EQ(shown.size(), 2u);
    for (const Shown& s : shown) {
        EXPECT_EQ(s.role, QAccessible::Notification);
        EXPECT_EQ(s.name, QString::fromUtf8("Soros kapcsolat rendben."));
    }
    // One notice per window, never seen and never in the way of the keyboard.
    const auto notices = window.findChildren<QWidget*>("AnnouncementNotice");
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0]->size().isEmpty());
    EXPECT_EQ(notices[0]->focusPolicy(), Qt::NoFocus);
}

TEST(AnnouncerLinux, AHiddenWindowSaysNothing) {
    QWidget window;
    shown.clear();
    QAccessible::installUpdateHandler(Record);
    Announce(&window, "Beolvasás kész");
    QAccessible::installUpdateHandler(nullptr);
    EXPECT_TRUE(shown.empty());
}

#include <gtest/gtest.h>

#include <QLabel>
#include <string>
#include <vector>

#include "ShellFixture.h"

using namespace orbiqa;
using namespace orbiqa::test;

TEST(TWelcomeForm, IsABorderlessGreyTopWindowWithTheVersionAtTheBottomRight) {
    TWelcomeForm splash;
    const Qt::WindowFlags flags = splash.windowFlags();
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(splash.palette().color(QPalette::Window), QColor(128, 128, 128));

    auto* lbVersion = splash.findChild<QLabel*>("lbVersion");
    ASSERT_NE(lbVersion, nullptr);
    // Label coordinates are client coordinates: the client area lies inside a border of 2.
    EXPECT_EQ(lbVersion->parentWidget()->geometry(), QRect(2, 2, 496, 309));
    EXPECT_EQ(splash.size(), QSize(500, 313));
    EXPECT_EQ(lbVersion->text(), " v1.05");
    EXPECT_TRUE(lbVersion->font().bold());
    EXPECT_EQ(lbVersion->geometry().right() + 1, 490);
    EXPECT_EQ(lbVersion->y(), 292);
    EXPECT_TRUE(lbVersion->alignment() & Qt::AlignRight);
}

TEST(TWelcomeForm, ShowingCreatesTheMainWindowAndOneTickLaterHandsOver) {
    TWelcomeForm splash;
    std::vector<std::string> steps;
    splash.OnCreateMainForm = [&] {
        steps.push_back(splash.Timer1().isActive() ? "create after timer" : "create");
    };
    splash.OnShowMainForm = [&] { steps.push_back(splash.isVisible() ? "show over splash" : "show"); };
    EXPECT_EQ(splash.Timer1().interval(), 20);
    EXPECT_FALSE(splash.Timer1().isActive());

    splash.show();
    EXPECT_EQ(steps, std::vector<std::string>{"create"});
    EXPECT_TRUE(splash.Timer1().isActive());
    ASSERT_TRUE(WaitFor([&] { return steps.size() == 2; }));
    EXPECT_EQ(steps.back(), "show");
    EXPECT_FALSE(splash.isVisible());
    EXPECT_FALSE(splash.Timer1().isActive());

    splash.show();  // only the first showing creates the main window
    Spin(60);
    EXPECT_EQ(steps.size(), 2u);
}

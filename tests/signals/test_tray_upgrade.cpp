// The version check's notice to the notification icon, an internal
// operation of TalLib (compiled into this test from its source).
#include "test_windows.h"
#include "signals.h"
#include "internal.h"

#include <gtest/gtest.h>

TEST(TrayIconTellUpgrade, PostsCommand142ToTheIconWindowOfClassAndTitle)
{
    EXPECT_EQ(0, TrayIcon_TellUpgrade()) << "no icon window, nothing posted";
    {
        TestWindow wrongTitle(kTrayClass, "Another title");
        EXPECT_EQ(0, TrayIcon_TellUpgrade()) << "the title must match too";
    }
    TestWindow tray(kTrayClass, kTrayTitle);
    EXPECT_EQ(1, TrayIcon_TellUpgrade());
    ASSERT_TRUE(PumpUntil([] { return TestWindow::received.count > 0; }));
    EXPECT_EQ((UINT)WM_USER, TestWindow::received.message);
    EXPECT_EQ(142u, TestWindow::received.code);
    EXPECT_EQ(0, TestWindow::received.lParam);
}

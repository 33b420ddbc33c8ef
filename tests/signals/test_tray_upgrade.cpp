// The version check's notice to the notification icon, an internal
// operation of TalLib (compiled into this test from its source).
#include "test_windows.h"
#include "signals.h"
#include "internal.h"

#include <gtest/gtest.h>

TEST(TrayIconTellUpgrade, SendsCommand142ToTheIconWindowOfClassAndTitle)
{
    EXPECT_EQ(0, TrayIcon_TellUpgrade()) << "no icon window, nothing sent";
    {
        TestWindow wrongTitle(kTrayClass, "Another title");
        EXPECT_EQ(0, TrayIcon_TellUpgrade());
        EXPECT_EQ(0, TestWindow::received.count);
    }
    TestWindow tray(kTrayClass, kTrayTitle);
    EXPECT_EQ(AnswerFor(142), TrayIcon_TellUpgrade());
    EXPECT_EQ((UINT)WM_USER, TestWindow::received.message);
    EXPECT_EQ(142u, TestWindow::received.code);
    EXPECT_EQ(0, TestWindow::received.lParam);
}

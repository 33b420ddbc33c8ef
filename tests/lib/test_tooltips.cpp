// CreateToolTip on a window of the test's own with a child button: one
// tooltip window per call, owned by the dialog, holding the control as its
// one tool; nothing is created for a missing control.
#include "tallib.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

namespace {

BOOL CALLBACK CollectTip(HWND window, LPARAM found)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, TOOLTIPS_CLASSA) == 0)
        ((std::vector<HWND> *)found)->push_back(window);
    return TRUE;
}

// The tooltip windows of this thread owned by the dialog.
std::vector<HWND> TipsOf(HWND dialog)
{
    std::vector<HWND> all, owned;
    EnumThreadWindows(GetCurrentThreadId(), CollectTip, (LPARAM)&all);
    for (HWND tip : all) {
        if (GetWindow(tip, GW_OWNER) == dialog)
            owned.push_back(tip);
    }
    return owned;
}

class ToolTips : public ::testing::Test {
protected:
    void SetUp() override
    {
        HINSTANCE instance = GetModuleHandleA(NULL);
        dialog = CreateWindowExA(0, "STATIC", "Test dialog", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, NULL, NULL, instance, NULL);
        ASSERT_NE((HWND)NULL, dialog);
        button = CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE, 10, 10, 80, 24, dialog, (HMENU)101,
                                 instance, NULL);
        ASSERT_NE((HWND)NULL, button);
        other = CreateWindowExA(0, "BUTTON", "Cancel", WS_CHILD | WS_VISIBLE, 100, 10, 80, 24, dialog, (HMENU)102,
                                instance, NULL);
        ASSERT_NE((HWND)NULL, other);
    }
    void TearDown() override { DestroyWindow(dialog); }

    HWND dialog = NULL;
    HWND button = NULL;
    HWND other = NULL;
};

} // namespace

TEST_F(ToolTips, EachCallAttachesOneTipWindowToItsControl)
{
    static const char kText[] = "Saves the settings";
    EXPECT_EQ(1, CreateToolTip(101, dialog, GetModuleHandleA(NULL), kText));
    std::vector<HWND> tips = TipsOf(dialog);
    ASSERT_EQ(1u, tips.size());
    EXPECT_EQ(1, (int)SendMessageA(tips[0], TTM_GETTOOLCOUNT, 0, 0));

    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    ASSERT_TRUE(SendMessageA(tips[0], TTM_ENUMTOOLSA, 0, (LPARAM)&tool));
    EXPECT_EQ((UINT_PTR)button, tool.uId) << "the control itself is the tool";
    EXPECT_EQ((UINT)(TTF_IDISHWND | TTF_SUBCLASS), tool.uFlags & (TTF_IDISHWND | TTF_SUBCLASS));
    char text[80] = "";
    tool.lpszText = text;
    SendMessageA(tips[0], TTM_GETTEXTA, sizeof text, (LPARAM)&tool);
    EXPECT_STREQ(kText, text);

    EXPECT_EQ(1, CreateToolTip(102, dialog, GetModuleHandleA(NULL), "Closes"));
    EXPECT_EQ(2u, TipsOf(dialog).size()) << "a tip window per call";
}

TEST_F(ToolTips, NoControlNoTextOrNoDialogCreatesNothing)
{
    EXPECT_EQ(0, CreateToolTip(0, dialog, GetModuleHandleA(NULL), "Tip"));
    EXPECT_EQ(0, CreateToolTip(999, dialog, GetModuleHandleA(NULL), "Tip")) << "no such control";
    EXPECT_EQ(0, CreateToolTip(101, dialog, GetModuleHandleA(NULL), NULL));
    EXPECT_EQ(0, CreateToolTip(101, NULL, GetModuleHandleA(NULL), "Tip"));
    EXPECT_EQ(0u, TipsOf(dialog).size());
}

// The icon's two questions, answered as a user would: the message box is
// found on screen and its button pressed. Needs a display.
#include "tray_fixture.h"

#include "config_keys.h"
#include "signals.h"
#include "tallib.h"
#include "test_windows.h"
#include "tray_icon.h"
#include "tray_menu.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <winsvc.h>

namespace {

// The open message box of TalTray's process, or NULL.
HWND FindQuestion(DWORD pid)
{
    for (HWND box = NULL; (box = FindWindowExA(NULL, box, "#32770", kTrayCaption)) != NULL;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(box, &owner);
        if (owner == pid && IsWindowVisible(box))
            return box;
    }
    return NULL;
}

// Registers (or removes) an updater service that is never started.
void SetServiceInstalled(bool installed)
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS);
    if (service && !installed)
        DeleteService(service);
    else if (!service && installed)
        service = CreateServiceA(manager, kServiceName, kServiceName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                 SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "C:\\windows\\notepad.exe", NULL, NULL,
                                 NULL, NULL, NULL);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    EXPECT_EQ(installed, IsRunningService() == 1);
}

class TrayQuestions : public TrayTest {
protected:
    // Chooses the menu command, checks the question it asks and answers it.
    void Answer(WORD command, const char *question, int button)
    {
        PostMessageA(trayWindow, WM_COMMAND, command, 0);
        HWND box = NULL;
        ASSERT_TRUE(PumpUntil([&] { return (box = FindQuestion(GetProcessId(tray))) != NULL; }))
            << "no question appeared";
        char text[256] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        EXPECT_STREQ(question, text);
        LONG noStyle = GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE);
        EXPECT_EQ(BS_DEFPUSHBUTTON, noStyle & BS_TYPEMASK) << "No must be the default";
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
        asked = box;
    }
    // Once the question is gone and the icon answers again, the command
    // that asked it has been carried out.
    bool QuestionDone()
    {
        DWORD_PTR ignored = 0;
        return PumpUntil([&] { return !IsWindow(asked); }, 10000) &&
               SendMessageTimeoutA(trayWindow, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
    }

    HWND asked = NULL; // the last question answered
};

} // namespace

TEST_F(TrayQuestions, HideEndsTheIconAndYesDisablesItsLoading)
{
    for (int button : {IDNO, IDYES}) {
        SCOPED_TRACE(button == IDYES ? "Yes" : "No");
        ASSERT_TRUE(StartTray("Upgrade=0\r\nLoadIcon=1\r\n"));
        Answer(IDM_HIDE_ICON, kHideQuestion, button);
        EXPECT_TRUE(WaitForExit(tray)) << "the icon did not end";
        char loadIcon[8] = "";
        Profile_ReadText(configFile.c_str(), kSectionApp, kKeyLoadIcon, "", loadIcon, sizeof loadIcon);
        EXPECT_STREQ(button == IDYES ? "0" : "1", loadIcon);
        CloseHandle(tray);
        tray = NULL;
    }
}

TEST_F(TrayQuestions, ExitStopsTheUpdaterThatRunsOnlyOnYes)
{
    // The updater's window stands in for TalUpPs; TellServer gives it the
    // code meant for whichever updater runs.
    TestWindow updater(kUpdaterClass, kUpdaterTitle);
    ASSERT_TRUE(StartTray("Upgrade=0\r\n"));
    Answer(IDM_EXIT, kExitQuestion, IDNO);
    ASSERT_TRUE(QuestionDone());
    EXPECT_EQ(0, TestWindow::received.count) << "No must change nothing";
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(tray, 0)) << "No must leave the icon";

    for (bool service : {false, true}) {
        SCOPED_TRACE(service ? "service installed" : "no service");
        SetServiceInstalled(service);
        if (!tray) {
            ASSERT_TRUE(StartTray("Upgrade=0\r\n"));
        }
        TestWindow::received = ReceivedCommand();
        Answer(IDM_EXIT, kExitQuestion, IDYES);
        EXPECT_TRUE(WaitForExit(tray)) << "the icon did not end";
        EXPECT_EQ(1, TestWindow::received.count);
        EXPECT_EQ(service ? 1u : 18u, TestWindow::received.code);
        CloseHandle(tray);
        tray = NULL;
    }
    SetServiceInstalled(false);
}

// The configuration utility's whole job for a first-time user, with the
// process updater waiting unconfigured: the account asked for, the host list
// downloaded, two hosts ticked, OK; the updater's one update request names
// exactly those two. The real TalUpConfig.exe and TalUpPs.exe from bin,
// driven from outside as a user would, against the local service.
#include "config_ids.h"
#include "scenario_support.h"
#include "service_control.h"
#include "test_env.h"

#include "config_keys.h"
#include "signals.h"
#include "tallib.h"

#include <commctrl.h>
#include <exdisp.h>
#include <gtest/gtest.h>
#include <shlguid.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// The desktop shell the utility starts the updater through can be reached:
// its shell windows can be had. Under Wine it comes up a while after the
// first window of a session, and a program it was asked to start before
// that starts only at the next logon.
bool DesktopShellReachable()
{
    IShellWindows *windows = NULL;
    HRESULT result = CoCreateInstance(CLSID_ShellWindows, NULL, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                      (void **)&windows);
    if (windows)
        windows->Release();
    return SUCCEEDED(result);
}

const char kAccountTitle[] = "Talvex Account Information";
const char kMailHost[] = "mail.talvex-demo.test";
const char kServiceAddress[] = "203.0.113.7"; // what the local service reports as the public address
// Every wait is on a condition; this long only on a slow machine.
const DWORD kPatience = 90000;

bool WaitFor(const std::function<bool()> &condition, DWORD ms = kPatience)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(50);
    }
    return true;
}

// A message to another process's window that never waits on a hung one;
// -1 when it was not answered.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD ms = 10000)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, ms, &answer))
        return -1;
    return (LRESULT)answer;
}

std::string TextOf(HWND window)
{
    char text[512] = "";
    Ask(window, WM_GETTEXT, sizeof text, (LPARAM)text); // marshalled across processes
    return text;
}

struct DialogSearch {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM parameter)
{
    DialogSearch *search = (DialogSearch *)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (owner == search->process && IsWindowVisible(window) && strcmp(cls, "#32770") == 0)
        search->found.push_back(window);
    return TRUE;
}

// The shown top-level dialogs of a process: the account dialog, the
// progress windows of the refreshes, message boxes.
std::vector<HWND> ShownDialogs(DWORD process)
{
    DialogSearch search = {process, {}};
    EnumWindows(CollectDialog, (LPARAM)&search);
    return search.found;
}

// What a failed wait names: each dialog still shown, with its message.
std::string Describe(const std::vector<HWND> &dialogs)
{
    std::string text;
    for (HWND dialog : dialogs)
        text += " [" + TextOf(dialog) + "|" + TextOf(GetDlgItem(dialog, 0xFFFF)) + "]";
    return text.empty() ? " none" : text;
}

// A key pressed and let go, delivered to the control as the keyboard
// delivers it to the one holding the focus.
void PressKey(HWND control, UINT key)
{
    LPARAM scan = (LPARAM)MapVirtualKeyA(key, MAPVK_VK_TO_VSC) << 16;
    LPARAM extended = key == VK_SPACE ? 0 : (1 << 24); // Home and Down sit on the extended keys
    PostMessageA(control, WM_KEYDOWN, key, 1 | scan | extended);
    PostMessageA(control, WM_KEYUP, key, (LPARAM)(1 | scan | extended | (1u << 30) | (1u << 31)));
}

// A row's check box: 1 unchecked, 2 checked, -1 when the list did not answer.
// The state comes back as the result, so the message works across processes.
int CheckBox(HWND list, int row)
{
    LRESULT state = Ask(list, LVM_GETITEMSTATE, (WPARAM)row, LVIS_STATEIMAGEMASK);
    return state == -1 ? -1 : (int)((state & LVIS_STATEIMAGEMASK) >> 12);
}

class ConfigStory : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        service::Reset();
    }
    // After a failure nothing is left running: the updater is asked to
    // quit, the rest ended.
    void TearDown() override
    {
        if (utility && Running(utility))
            TerminateProcess(utility, 1);
        if (updater && Running(updater)) {
            Ask(FindWindowExA(NULL, NULL, kUpdaterClass, NULL), WM_USER, kCmdQuitProcess, 0, 30000);
            if (WaitForSingleObject(updater, 10000) != WAIT_OBJECT_0)
                TerminateProcess(updater, 1);
        }
        for (HANDLE process : {utility, updater})
            if (process)
                CloseHandle(process);
        service::Reset();
        DataFolderTest::TearDown();
    }

    bool Running(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }
    std::string Config(const char *section, const char *key)
    {
        char value[256] = "";
        Profile_ReadText(configFile.c_str(), section, key, "(absent)", value, sizeof value);
        return value;
    }

    HANDLE updater = NULL;
    HANDLE utility = NULL;
};

TEST_F(ConfigStory, WholeJob)
{
    // The updater starts without a configuration and waits for one.
    ASSERT_FALSE(FileExists(configFile));
    updater = StartProgram("TalUpPs.exe");
    ASSERT_TRUE(updater);
    // "Process started." follows the first pass.
    ASSERT_TRUE(WaitFor([&] {
        return !Running(updater) || ReadWholeFile(logFile).find("Updater: Process started.") != std::string::npos;
    })) << "waited for TalUpPs's first pass:\n" << ReadWholeFile(logFile);
    ASSERT_TRUE(Running(updater)) << "TalUpPs ended without an account:\n" << ReadWholeFile(logFile);
    HWND updaterWindow = FindWindowExA(NULL, NULL, kUpdaterClass, NULL);
    ASSERT_TRUE(updaterWindow) << "TalUpPs's message window";
    EXPECT_EQ(0, service::CountRequests("/nic/update")) << "no update without an account";

    // The utility finds no account and asks for one.
    utility = StartProgram("TalUpConfig.exe");
    ASSERT_TRUE(utility);
    DWORD pid = GetProcessId(utility);
    HWND account = NULL;
    ASSERT_TRUE(WaitFor([&] {
        std::vector<HWND> shown = ShownDialogs(pid);
        account = shown.size() == 1 && TextOf(shown[0]) == kAccountTitle ? shown[0] : NULL;
        return account != NULL;
    })) << "waited for the account dialog; shown:" << Describe(ShownDialogs(pid));
    Ask(GetDlgItem(account, IDC_ACCOUNT_USER), WM_SETTEXT, 0, (LPARAM)kDemoUser);
    Ask(GetDlgItem(account, IDC_ACCOUNT_PASSWORD), WM_SETTEXT, 0, (LPARAM)kDemoPassword);
    ASSERT_EQ(kDemoUser, TextOf(GetDlgItem(account, IDC_ACCOUNT_USER)));
    PostMessageA(account, WM_COMMAND, MAKEWPARAM(IDC_ACCOUNT_OKAY, BN_CLICKED),
                 (LPARAM)GetDlgItem(account, IDC_ACCOUNT_OKAY));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(account); })) << "waited for the account dialog to close";

    // Sync is on by default: the host list arrives in the Home page's list.
    HWND window = FindWindowA(kConfigClass, kConfigTitle);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    ASSERT_EQ(pid, owner) << "the utility's main window";
    HWND home = NULL;
    for (HWND page = NULL; !home && (page = FindWindowExA(window, page, "#32770", NULL)) != NULL;)
        if (GetDlgItem(page, IDC_REFRESH_HOSTS))
            home = page;
    ASSERT_TRUE(home) << "the Home page";
    HWND list = GetDlgItem(home, IDC_HOST_LIST);
    auto rows = [&] { return (int)Ask(list, LVM_GETITEMCOUNT, 0, 0); };
    ASSERT_TRUE(WaitFor([&] {
        return rows() == 3 && ShownDialogs(pid).empty() && IsWindowEnabled(window) && IsWindowEnabled(home);
    })) << "waited for three host rows and the refreshes to end: " << rows() << " rows, dialogs shown:"
        << Describe(ShownDialogs(pid));
    for (int row = 0; row < 3; ++row)
        ASSERT_EQ(1, CheckBox(list, row)) << "row " << row << " arrives unchecked";

    // The user gives the host list the focus (the page moves it there, as
    // Tab would; asked again while the refresh's last repaint takes it
    // away) and ticks the first two hosts with the keyboard.
    EXPECT_TRUE(WaitFor([&] {
        Ask(home, WM_NEXTDLGCTL, (WPARAM)list, TRUE);
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        return GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &gui) && gui.hwndFocus == list;
    })) << "waited for the host list to hold the keyboard focus";
    for (UINT key : {VK_HOME, VK_SPACE, VK_DOWN, VK_SPACE})
        PressKey(list, key);
    ASSERT_TRUE(WaitFor([&] { return CheckBox(list, 0) == 2 && CheckBox(list, 1) == 2; }))
        << "waited for the first two rows to be ticked; boxes (1 unticked, 2 ticked): " << CheckBox(list, 0) << " "
        << CheckBox(list, 1) << " " << CheckBox(list, 2);
    EXPECT_EQ(1, CheckBox(list, 2)) << "the third row stays unticked";

    // OK saves, tells the updater and closes the utility.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_OK, BN_CLICKED), (LPARAM)GetDlgItem(window, IDC_OK));
    ASSERT_TRUE(WaitFor([&] { return !Running(utility); })) << "waited for the utility to end after OK";
    DWORD exitCode = 1;
    GetExitCodeProcess(utility, &exitCode);
    EXPECT_EQ(0u, exitCode);
    EXPECT_FALSE(IsWindow(window)) << "the utility's window is gone";

    // The updater's pass sends one request for exactly the two hosts. A
    // command answered after it shows the pass is over.
    ASSERT_TRUE(WaitFor([&] { return service::CountRequests("/nic/update") > 0; }))
        << "waited for the updater's update request:\n" << ReadWholeFile(logFile);
    EXPECT_NE(-1, Ask(updaterWindow, WM_USER, kCmdReloadSettings, 0, kPatience)) << "the updater answers";
    std::string updates = service::Requests("/nic/update");
    EXPECT_EQ(1, service::CountRequests("/nic/update")) << updates;
    EXPECT_EQ(1, CountOccurrences(updates, std::string("\"hostname\": \"") + kHomeHost + "," + kOfficeHost + "\""))
        << updates;
    EXPECT_EQ(1, CountOccurrences(updates, "\"user\": \"demo\"")) << updates;
    EXPECT_EQ(0, CountOccurrences(updates, kMailHost)) << updates;

    // The file holds the account, the password scrambled, and the two hosts
    // with the answer the updater recorded for each.
    EXPECT_EQ(kDemoUser, Config(kSectionApp, kKeyUserName));
    std::string scrambled = Config(kSectionApp, kKeyPassword);
    char plain[256] = "";
    SimpleDecrypt(scrambled.c_str(), scrambled.size(), kPasswordKey, kPasswordKeyLength, plain);
    EXPECT_STREQ(kDemoPassword, plain);
    EXPECT_EQ(std::string::npos, ReadWholeFile(configFile).find(kDemoPassword)) << "never stored in the clear";
    EXPECT_EQ("2", Config(kSectionHosts, kKeyHostCount));
    EXPECT_EQ(kHomeHost, Config(kSectionHosts, "Host1"));
    EXPECT_EQ(kOfficeHost, Config(kSectionHosts, "Host2"));
    EXPECT_EQ("(absent)", Config(kSectionHosts, "Host3"));
    EXPECT_EQ(kServiceAddress, Config(kHomeHost, kKeyHostIP));
    EXPECT_EQ(kServiceAddress, Config(kOfficeHost, kKeyHostIP));
    EXPECT_EQ("(absent)", Config(kMailHost, kKeyHostIP));

    // The updater quits when told; nothing of the story is left running.
    Ask(updaterWindow, WM_USER, kCmdQuitProcess, 0, kPatience);
    EXPECT_TRUE(WaitFor([&] { return !Running(updater); })) << "waited for TalUpPs to quit";
    EXPECT_EQ(1, CountOccurrences(ReadWholeFile(logFile), "Updater: Process stopped."));
}

// The server refused the account, so the updater stopped with a critical
// status. The cause is fixed on the server; the user clicks the red status
// in the utility and answers "Have you fixed the issue?" with Yes: the
// updater starts, its first pass runs, and the file says Good.
TEST_F(ConfigStory, ReactivationAfterARefusedAccountRunsAPass)
{
    char scrambled[256] = "";
    SimpleEncrypt(kDemoPassword, 127, kPasswordKey, kPasswordKeyLength, scrambled);
    Profile_WriteText(configFile.c_str(), kSectionApp, kKeyUserName, kDemoUser);
    Profile_WriteText(configFile.c_str(), kSectionApp, kKeyPassword, scrambled);
    Profile_WriteText(configFile.c_str(), kSectionApp, kKeySync, "0"); // no host-list download at the start
    Host_SetText(1, kHomeHost);
    Host_SetCount(1);
    service::Script("update", "badauth");
    updater = StartProgram("TalUpPs.exe");
    ASSERT_TRUE(updater);
    ASSERT_TRUE(WaitFor([&] { return !Running(updater); })) << "TalUpPs still runs after badauth";
    ASSERT_EQ("2", Config(kSectionApp, kKeyStatus));
    CloseHandle(updater);
    updater = NULL;

    utility = StartProgram("TalUpConfig.exe");
    ASSERT_TRUE(utility);
    DWORD pid = GetProcessId(utility);
    HWND window = NULL;
    ASSERT_TRUE(WaitFor([&] {
        window = FindWindowA(kConfigClass, kConfigTitle);
        return window && IsWindowEnabled(window) && ShownDialogs(pid).empty();
    })) << "waited for the utility's window; shown:" << Describe(ShownDialogs(pid));
    CoInitialize(NULL);
    EXPECT_TRUE(WaitFor(DesktopShellReachable)) << "the desktop shell never came up";
    CoUninitialize();
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_STATUS_HOTSPOT, BN_CLICKED),
                 (LPARAM)GetDlgItem(window, IDC_STATUS_HOTSPOT));
    HWND question = NULL;
    ASSERT_TRUE(WaitFor([&] {
        std::vector<HWND> shown = ShownDialogs(pid);
        question = shown.size() == 1 && TextOf(GetDlgItem(shown[0], 0xFFFF)).find("Have you fixed the issue?") !=
                                              std::string::npos
                       ? shown[0]
                       : NULL;
        return question != NULL;
    })) << "waited for the question; shown:" << Describe(ShownDialogs(pid));
    PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), (LPARAM)GetDlgItem(question, IDYES));

    // The started updater's first pass sends the update the stop held back.
    ASSERT_TRUE(WaitFor([&] { return CountOccurrences(ReadWholeFile(logFile), "Updater: Process started.") == 2; }))
        << "waited for TalUpPs to start again:\n" << ReadWholeFile(logFile);
    EXPECT_EQ(2, service::CountRequests("/nic/update"));
    EXPECT_EQ("good", Config(kHomeHost, kKeyHostStatus));
    EXPECT_EQ("0", Config(kSectionApp, kKeyStatus));
    HWND updaterWindow = FindWindowExA(NULL, NULL, kUpdaterClass, NULL);
    ASSERT_TRUE(updaterWindow) << "the started updater runs";
    DWORD updaterPid = 0;
    GetWindowThreadProcessId(updaterWindow, &updaterPid);
    updater = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, updaterPid);
}

} // namespace

// TalUpConfig's main window as a user and the other programs meet it: one
// window however often it is started, the status panel's rule and
// explanations, OK, Cancel and Apply, the configuration pipe, the upgrade
// link and the layout at 120 dots per inch. The real program runs from
// bin/config_frame beside stub programs; message boxes are answered on
// screen. Needs a display.
#include "config_ids.h"

#include "scoped.h"
#include "signals.h"
#include "tallib.h"
#include "test_env.h"
#include "test_windows.h"
#include "window_picture.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <oleacc.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace {

const char kCaption[] = "Talvex Updater";
const char kCriticalQuestion[] =
    "You should only re-activate the Updater after you have fixed the cause of your Critical status.\n\n"
    "Have you fixed the issue?";
const char kInactive[] = "The Updater is currently inactive.  To keep your IP Address up to date with your host "
                         "records, you must first enable the Updater.";
const char kGoodExplained[] = "A Good (Green) status indicates that the Updater is operating as expected.";



std::string TextOf(HWND window)
{
    char text[512] = "";
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &ignored);
    return text;
}

// The colour family of a status picture, from one pixel of its disc.
std::string Family(COLORREF c)
{
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    if (g > r + 40 && g > b + 20)
        return "green";
    if (r > 200 && g > 120 && b < 90)
        return "amber";
    if (r > g + 60 && r > b + 60)
        return "red";
    if (b > r + 60)
        return "blue";
    if (abs(r - g) < 25 && abs(g - b) < 30)
        return "grey";
    return "other";
}

class ConfigWindow : public DataFolderTest {
protected:
    void TearDown() override
    {
        Stop();
        DeleteFileA(startedFile().c_str());
        SetDpi(0);
        DataFolderTest::TearDown();
    }

    std::string startedFile() { return dataFolder + "started.txt"; }

    // Writes the configuration ([App] lines "Key=value\r\n"; no version
    // check, no host list download unless the lines say so) and starts the
    // program; true once its window is there.
    bool Start(const std::string &appLines)
    {
        WriteWholeFile(configFile, "[App]\r\nUpgrade=0\r\nSync=0\r\n" + appLines);
        process = StartProgram("TalUpConfig.exe");
        if (!process)
            return false;
        DWORD pid = GetProcessId(process);
        return PumpUntil([&] {
            window = FindWindowA(kConfigClass, kConfigTitle);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            return window && owner == pid && IsWindowVisible(window);
        });
    }
    bool Exited(DWORD ms = 10000)
    {
        return PumpUntil([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, ms);
    }
    void Stop()
    {
        if (!process)
            return;
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            PostMessageA(window, WM_CLOSE, 0, 0);
            if (!Exited())
                TerminateProcess(process, 1);
        }
        CloseHandle(process);
        process = NULL;
    }
    void SetDpi(DWORD dpi)
    {
        HKEY desktop;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, NULL, 0, KEY_SET_VALUE, NULL, &desktop,
                            NULL) != ERROR_SUCCESS)
            return;
        if (dpi)
            RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, (const BYTE *)&dpi, sizeof dpi);
        else
            RegDeleteValueA(desktop, "LogPixels");
        RegCloseKey(desktop);
    }

    HWND Item(int id) { return GetDlgItem(window, id); }
    std::string Label() { return TextOf(Item(IDC_STATUS_LABEL)); }
    void Command(int id) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), (LPARAM)Item(id)); }
    // WM_USER as the other programs send it; every code answers 1.
    void Tell(int code, LPARAM lParam = 0)
    {
        DWORD_PTR answer = 0;
        ASSERT_TRUE(SendMessageTimeoutA(window, WM_USER, code, lParam, SMTO_ABORTIFHUNG, 5000, &answer));
        EXPECT_EQ(1u, answer) << "WM_USER " << code;
    }
    // Until the label says `label`; the panel repaints on the way.
    bool LabelBecomes(const std::string &label) { return PumpUntil([&] { return Label() == label; }, 5000); }
    // The colour family at a point of the status picture's disc, off its symbol.
    std::string PictureFamily()
    {
        Pump(300);
        RECT hotspot;
        GetWindowRect(Item(IDC_STATUS_HOTSPOT), &hotspot); // at (45, 310 sy), picture at (49, 310 sy)
        HDC screen = GetDC(NULL);
        COLORREF c = GetPixel(screen, hotspot.left + 4 + 65, hotspot.top + 65);
        ReleaseDC(NULL, screen);
        return Family(c);
    }
    // The message box the program shows, or NULL after the time.
    HWND Question(DWORD ms = 5000)
    {
        HWND box = NULL;
        PumpUntil([&] {
            for (box = NULL; (box = FindWindowExA(NULL, box, "#32770", kCaption)) != NULL;) {
                DWORD owner = 0;
                GetWindowThreadProcessId(box, &owner);
                if (owner == GetProcessId(process) && IsWindowVisible(box))
                    return true;
            }
            return false;
        }, ms);
        return box;
    }
    // Clicks the status picture and answers its message box with `button`;
    // the box's text.
    std::string Explain(int button)
    {
        Command(IDC_STATUS_HOTSPOT);
        HWND box = Question();
        if (!box)
            return "(no message box)";
        std::string text = TextOf(GetDlgItem(box, 0xFFFF));
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
        PumpUntil([&] { return !IsWindow(box); }, 5000);
        return text;
    }
    std::string Started() { return ReadWholeFile(startedFile()); }
    std::string ConfigValue(const char *key)
    {
        char value[256] = "";
        GetPrivateProfileStringA("App", key, "(absent)", value, sizeof value, configFile.c_str());
        return value;
    }

    HANDLE process = NULL;
    HWND window = NULL;
};

TEST_F(ConfigWindow, OneWindowHoweverOftenStartedAndAnUnknownStatusShowsWelcomeWithTheGoodPicture)
{
    ASSERT_TRUE(Start("Username=alice\r\nStatus=7\r\n"));
    EXPECT_EQ("Status: Welcome!", Label());
    EXPECT_EQ("green", PictureFamily()) << "a status the file should not hold shows the Good picture";
    EXPECT_EQ("(Click for details)", TextOf(Item(IDC_STATUS_HINT)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_APPLY))) << "Apply starts disabled";

    std::string before = ReadWholeFile(configFile);
    HWND other = CreateWindowA("STATIC", "another window", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, NULL, NULL, NULL, NULL);
    SetForegroundWindow(other);
    Pump(200);
    EXPECT_EQ(0, RunProgram(Quoted(ExeFolder() + "TalUpConfig.exe"), 15000)) << "the second copy ends with 0";
    int windows = 0;
    for (HWND w = NULL; (w = FindWindowExA(NULL, w, kConfigClass, kConfigTitle)) != NULL;)
        ++windows;
    EXPECT_EQ(1, windows);
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window; }, 3000)) << "the first comes to the front";
    EXPECT_EQ(before, ReadWholeFile(configFile)) << "the second copy touches no file";
    DestroyWindow(other);
}

TEST_F(ConfigWindow, StatusRuleAndWhatTheStatusPictureExplains)
{
    // Without an account every request shows the welcome.
    ASSERT_TRUE(Start("Status=0\r\n"));
    for (int requested : {0, 1, 2, 4}) {
        Tell(kCmdSettingsChanged, requested);
        EXPECT_EQ("Status: Welcome!", Label()) << "requested " << requested;
    }
    EXPECT_EQ("blue", PictureFamily());
    Stop();

    // An account, no updater running, the file not critical: disabled.
    ASSERT_TRUE(Start("Username=alice\r\nStatus=0\r\n"));
    EXPECT_EQ("Status: Good", Label());
    Tell(kCmdSettingsChanged, 0);
    EXPECT_TRUE(LabelBecomes("Status: Disabled"));
    EXPECT_EQ("grey", PictureFamily());
    EXPECT_EQ(kInactive, Explain(IDOK));

    // The updater runs: what is asked for is shown, and explained.
    {
        TestWindow updater(kUpdaterClass, kUpdaterTitle);
        Tell(kCmdSettingsChanged, 1);
        EXPECT_TRUE(LabelBecomes("Status: Warning"));
        EXPECT_EQ("amber", PictureFamily());
        Tell(kCmdSettingsChanged, 0);
        EXPECT_TRUE(LabelBecomes("Status: Good"));
        EXPECT_EQ("green", PictureFamily());
        EXPECT_EQ(kGoodExplained, Explain(IDOK));
    }

    // Critical in the file and the updater stopped: the question, not the
    // inactive notice. No changes nothing; Yes shows and stores Good and
    // starts it.
    WritePrivateProfileStringA("App", "Status", "2", configFile.c_str());
    Tell(kCmdSettingsChanged, 2);
    EXPECT_TRUE(LabelBecomes("Status: Critical"));
    EXPECT_EQ("red", PictureFamily());
    EXPECT_EQ(kCriticalQuestion, Explain(IDNO));
    DWORD_PTR ignored = 0; // answered once the click's handler has returned
    ASSERT_TRUE(SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored));
    EXPECT_EQ("Status: Critical", Label());
    EXPECT_EQ(kCriticalQuestion, Explain(IDYES));
    EXPECT_TRUE(LabelBecomes("Status: Good"));
    EXPECT_TRUE(PumpUntil([&] { return Started().find("TalUpPs.exe|") != std::string::npos; })) << Started();
    // Good was stored before the start: the updater started reads it and passes.
    char stored[8] = "";
    GetPrivateProfileStringA("App", "Status", "", stored, sizeof stored, configFile.c_str());
    EXPECT_STREQ("0", stored);
    // A start made by No would have been recorded before this one.
    ASSERT_TRUE(WaitForProgramsToEnd(ExeFolder(), {"TalUpPs.exe"}));
    EXPECT_EQ(1, CountOccurrences(Started(), "TalUpPs.exe|")) << "No starts nothing: " << Started();
}

TEST_F(ConfigWindow, CancelWritesNothingApplySavesAndTellsTheUpdaterOkSavesAndCloses)
{
    TestWindow updater(kUpdaterClass, kUpdaterTitle);
    // With the proxy mode known, the address refresh at start asks one port
    // and records only the address it found; after that the utility writes
    // only when it saves.
    std::string app = "Username=alice\r\nPassword=\r\nStatus=0\r\nLoadIcon=0\r\nStartWithOS=1\r\nProxy=0\r\n";
    ASSERT_TRUE(Start(app));
    PumpUntil([&] { return ReadWholeFile(configFile).find("LastIP=") != std::string::npos; }, 5000);
    Pump(300);
    std::string before = ReadWholeFile(configFile);
    Command(IDC_CANCEL);
    EXPECT_TRUE(Exited());
    EXPECT_EQ(before, ReadWholeFile(configFile)) << "Cancel writes nothing";
    Stop();

    ASSERT_TRUE(Start(app));
    WritePrivateProfileStringA("App", "Username", "carol", configFile.c_str()); // changed by someone else
    TestWindow::Clear();
    EnableWindow(Item(IDC_APPLY), TRUE); // as a change on a page does
    Command(IDC_APPLY);
    ASSERT_TRUE(PumpUntil([&] { return TestWindow::received.count > 0; })) << "the updater heard nothing";
    EXPECT_EQ(1, TestWindow::received.count);
    EXPECT_EQ((WPARAM)kCmdReloadAndPass, TestWindow::received.code);
    EXPECT_EQ("alice", ConfigValue("Username")) << "the account in memory is saved";
    EXPECT_EQ("", ConfigValue("Password"));
    EXPECT_EQ("1", ConfigValue("Notify")) << "every option is written, absent ones with their defaults";
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_APPLY))) << "Apply disables itself";
    EXPECT_TRUE(IsWindow(window));

    WritePrivateProfileStringA("App", "Username", "dave", configFile.c_str());
    TestWindow::Clear();
    Command(IDC_OK);
    EXPECT_TRUE(Exited());
    EXPECT_EQ(1, TestWindow::received.count) << "OK tells the updater too";
    EXPECT_EQ((WPARAM)kCmdReloadAndPass, TestWindow::received.code);
    EXPECT_EQ("alice", ConfigValue("Username"));
}

TEST_F(ConfigWindow, OkThatCannotSaveStaysOpenSaysWhyAndTheNextOkSaves)
{
    TestWindow updater(kUpdaterClass, kUpdaterTitle);
    ASSERT_TRUE(Start("Username=alice\r\nStatus=0\r\nProxy=0\r\n"));
    // Another program (a virus scanner, a backup) holds the journal, taken
    // once the start's own commit is over: its address is in the file and
    // its journal, held by nobody else, reads idle (a state word of 0 after
    // the four-byte mark).
    HANDLE held = INVALID_HANDLE_VALUE;
    PumpUntil([&] {
        if (ReadWholeFile(configFile).find("LastIP=") == std::string::npos)
            return false;
        held = CreateFileA((configFile + ".journal").c_str(), GENERIC_READ, 0, NULL, OPEN_ALWAYS, 0, NULL);
        if (held == INVALID_HANDLE_VALUE)
            return false;
        DWORD header[2] = {}, read = 0;
        if (ReadFile(held, header, sizeof header, &read, NULL) && (read < sizeof header || header[1] == 0))
            return true;
        CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
        return false;
    }, 5000);
    ASSERT_NE(INVALID_HANDLE_VALUE, held) << "the start's commit did not end";
    WritePrivateProfileStringA("App", "Username", "carol", configFile.c_str());
    {
        TestWindow::Clear();
        Command(IDC_OK);
        HWND box = Question(20000);
        std::string text = box ? TextOf(GetDlgItem(box, 0xFFFF)) : "(no message box)";
        CloseHandle(held);
        EXPECT_EQ(0u, text.find("The settings could not be saved.")) << text;
        EXPECT_NE(std::string::npos, text.find("error 32")) << text;
        if (box)
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
    }
    EXPECT_FALSE(Exited(1000)) << "OK closed the window although nothing was saved";
    EXPECT_EQ(0, TestWindow::received.count) << "the updater was told of settings that are not in the file";
    EXPECT_EQ("carol", ConfigValue("Username"));

    Command(IDC_OK);
    EXPECT_TRUE(Exited());
    EXPECT_EQ("alice", ConfigValue("Username"));
}

TEST_F(ConfigWindow, PipeMessagesRefreshTheStatusAndUnknownOnesChangeNothing)
{
    TestWindow updater(kUpdaterClass, kUpdaterTitle);
    ASSERT_TRUE(Start("Username=alice\r\nStatus=0\r\n"));
    EXPECT_EQ("Status: Good", Label());

    WritePrivateProfileStringA("App", "Status", "1", configFile.c_str());
    // The listener starts just after the window is shown.
    ASSERT_TRUE(PumpUntil([] { return Signal(kConfigPipeName, "Z") == 1; }));
    Pump(1000);
    EXPECT_EQ("Status: Good", Label()) << "Z changes nothing";
    ASSERT_EQ(1, Signal(kConfigPipeName, "C")) << "the next writer is served";
    EXPECT_TRUE(LabelBecomes("Status: Warning"));
    WritePrivateProfileStringA("App", "Status", "0", configFile.c_str());
    ASSERT_EQ(1, Signal(kConfigPipeName, "B"));
    EXPECT_TRUE(LabelBecomes("Status: Good"));
}

// The Advanced page's upgrade link: the one descendant with its id that is
// a static.
BOOL CALLBACK FindUpgradeLink(HWND child, LPARAM found)
{
    char cls[32] = "";
    GetClassNameA(child, cls, sizeof cls);
    if (GetDlgCtrlID(child) != IDC_UPGRADE_LINK || lstrcmpiA(cls, "Static") != 0)
        return TRUE;
    *(HWND *)found = child;
    return FALSE;
}

TEST_F(ConfigWindow, UpgradeLinkFollowsTheVersionCheck)
{
    ASSERT_TRUE(Start("Username=alice\r\nStatus=0\r\n"));
    HWND link = NULL;
    EnumChildWindows(window, FindUpgradeLink, (LPARAM)&link);
    ASSERT_TRUE(link != NULL) << "the Advanced page has no upgrade link";
    // A right-aligned static with SS_LEFTNOWORDWRAP added is a bitmap
    // static (2 | 0xC == SS_BITMAP), whose text never changes.
    EXPECT_NE(SS_BITMAP, GetWindowLongA(link, GWL_STYLE) & SS_TYPEMASK)
        << "the upgrade link's template makes it a bitmap static";
    Tell(kCmdLatestVersion);
    Tell(kCmdLatestVersion);
    EXPECT_FALSE(IsWindowEnabled(link));
    EXPECT_EQ("You have the latest version.", TextOf(link));
    Tell(kCmdUpgradeAvailable);
    EXPECT_TRUE(IsWindowEnabled(link));
    EXPECT_EQ("An upgrade is available!", TextOf(link));
    Tell(999); // unknown codes answer 1 and change nothing
    EXPECT_EQ("An upgrade is available!", TextOf(link));
}

// The keyboard alone: Tab walks the window's buttons, the navigation and
// the shown page's controls; Space on a navigation button opens its page,
// and Space on an option ticks it and offers Apply.
TEST_F(ConfigWindow, TabAndSpaceReachEveryPartOfTheWindow)
{
    ASSERT_TRUE(Start("Username=alice\r\nStatus=0\r\nProxy=0\r\n"));
    DWORD thread = GetWindowThreadProcessId(window, NULL);
    auto focused = [&] {
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        return GetGUIThreadInfo(thread, &gui) ? gui.hwndFocus : (HWND)NULL;
    };
    auto press = [&](WPARAM key) {
        HWND target = focused() ? focused() : window;
        PostMessageA(target, WM_KEYDOWN, key, 1);
        PostMessageA(target, WM_KEYUP, key, 0xC0000001);
        Pump(60);
    };
    // Tab until focus stands on a control with id `id`; the ids passed on the way.
    auto tabTo = [&](int id, std::vector<int> &seen) {
        for (int i = 0; i < 60; ++i) {
            press(VK_TAB);
            HWND now = focused();
            seen.push_back(now ? GetDlgCtrlID(now) : -1);
            if (now && GetDlgCtrlID(now) == id)
                return true;
        }
        return false;
    };
    SetForegroundWindow(window);
    std::vector<int> seen;
    ASSERT_TRUE(tabTo(IDC_NAV_ADVANCED, seen)) << "Tab never reached the Advanced button";
    ASSERT_TRUE(tabTo(IDC_OK, seen)) << "Tab never reached OK";
    ASSERT_TRUE(tabTo(IDC_CANCEL, seen));
    bool homeControl = false;
    for (int id : seen)
        homeControl |= id == IDC_HOST_LIST || id == IDC_CHANGE_USER || id == IDC_REFRESH_HOSTS;
    EXPECT_TRUE(homeControl) << "no Home page control was reached by Tab";

    ASSERT_TRUE(tabTo(IDC_NAV_ADVANCED, seen));
    press(VK_SPACE);
    HWND box = NULL;
    ASSERT_TRUE(PumpUntil([&] {
        for (HWND page = GetWindow(window, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT))
            if (GetDlgItem(page, IDC_OPT_NOTIFY) && IsWindowVisible(page))
                box = GetDlgItem(page, IDC_OPT_NOTIFY);
        return box != NULL;
    })) << "Space on Advanced did not show the Advanced page";
    LRESULT before = SendMessageA(box, BM_GETCHECK, 0, 0);
    ASSERT_TRUE(tabTo(IDC_OPT_NOTIFY, seen)) << "Tab never reached an option of the Advanced page";
    press(VK_SPACE);
    EXPECT_TRUE(PumpUntil([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) != before; })) << "Space did not tick it";
    EXPECT_TRUE(PumpUntil([&] { return IsWindowEnabled(Item(IDC_APPLY)) != FALSE; })) << "the change offers Apply";
}

TEST_F(ConfigWindow, At120DotsPerInchTheWindowIs880By600)
{
    SetDpi(120);
    ASSERT_TRUE(Start("Username=alice\r\nStatus=0\r\n"));
    RECT r = {};
    GetWindowRect(window, &r);
    EXPECT_EQ(880, r.right - r.left);
    EXPECT_EQ(600, r.bottom - r.top);
    const int expectedTop[] = {207, 244, 281, 318};
    for (int i = 0; i < 4; ++i) {
        RECT nav = {};
        GetWindowRect(Item(IDC_NAV_HOME + i), &nav);
        MapWindowPoints(NULL, window, (POINT *)&nav, 2);
        // Across, the panel grows with the screen, so its texts fit.
        EXPECT_EQ(6, nav.left) << "button " << i;
        EXPECT_EQ(expectedTop[i], nav.top) << "button " << i;
        EXPECT_EQ(37, nav.bottom - nav.top) << "button " << i;
        EXPECT_EQ(221, nav.right - nav.left) << "button " << i;
    }
    // The pages meet the panel and reach the window's right edge: no white
    // band stands beside them.
    RECT client = {}, page = {};
    GetClientRect(window, &client);
    GetWindowRect(FindWindowExA(window, NULL, "#32770", NULL), &page);
    MapWindowPoints(NULL, window, (POINT *)&page, 2);
    EXPECT_EQ(255, page.left);
    EXPECT_GE(page.right, client.right);
    RECT ok = {};
    GetWindowRect(Item(IDC_OK), &ok);
    MapWindowPoints(NULL, window, (POINT *)&ok, 2);
    EXPECT_EQ(477, ok.left);
    EXPECT_EQ(517, ok.top);
    EXPECT_EQ(120, ok.right - ok.left);
}

// Dragged to a monitor of 144 dpi, the window told so by WM_DPICHANGED
// looks, page by page, as the window started at 144 dpi does: every
// control in the same place, and the same pixels in the frame's own
// parts (the panel, the band with OK, Cancel and Apply). Within the pages
// Wine draws a dialog font made anew a few pixels apart from the dialog
// manager's, and its list view keeps the row height of the scale it was
// made at: there the difference is printed, not asserted. The pictures
// are kept in pictures/ beside the test for a person to look at.
TEST_F(ConfigWindow, MovedToAMonitorOf144DotsPerInchItLooksAsOneStartedThere)
{
    const char *pages[] = {"home", "advanced", "logs", "help"};
    struct Look {
        std::string places;
        WindowPicture picture;
    };
    // Each page shown, once the Home page's refreshes have settled.
    auto lookAtPages = [&](std::vector<Look> &looks, const std::string &name) {
        HWND home = FindWindowExA(window, NULL, "#32770", NULL);
        ASSERT_TRUE(PumpUntil([&] {
            return TextOf(GetDlgItem(home, IDC_HOME_ADDRESS)) != "" && IsWindowEnabled(home) &&
                   TextOf(GetDlgItem(home, IDC_HOME_UPDATER)) != "Detecting...";
        })) << "the Home page never settled";
        CreateDirectoryA((ExeFolder() + "pictures").c_str(), NULL);
        for (int i = 0; i < 4; ++i) {
            // Sent, not posted: the page is shown once the call returns.
            DWORD_PTR shown = 0;
            SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(IDC_NAV_HOME + i, 0), (LPARAM)Item(IDC_NAV_HOME + i),
                                SMTO_NORMAL, 10000, &shown);
            looks.push_back({ControlPlaces(window), SteadyWindowPicture(window, true)});
            SaveWindowPicture(looks.back().picture, ExeFolder() + "pictures\\dpi-" + name + "-" + pages[i] + ".bmp");
        }
    };
    const std::string account = "Username=alice\r\nStatus=0\r\n";
    std::vector<Look> started, moved;
    SetDpi(144);
    ASSERT_TRUE(Start(account));
    RECT client = {};
    GetClientRect(window, &client);
    lookAtPages(started, "started-144");
    Stop();

    SetDpi(96);
    ASSERT_TRUE(Start(account));
    // What the system suggests: the window's place with the client area
    // of the new scale.
    RECT suggested = client;
    AdjustWindowRectEx(&suggested, (DWORD)GetWindowLongA(window, GWL_STYLE), FALSE,
                       (DWORD)GetWindowLongA(window, GWL_EXSTYLE));
    OffsetRect(&suggested, 20 - suggested.left, 20 - suggested.top);
    ASSERT_TRUE(SendDpiChange(window, 144, suggested));
    RECT now = {};
    GetWindowRect(window, &now);
    EXPECT_TRUE(EqualRect(&now, &suggested)) << "the window did not take the suggested rectangle";
    lookAtPages(moved, "moved-96-to-144");
    ASSERT_EQ(started.size(), moved.size());
    const RECT panel = {0, 0, 300, client.bottom};      // 200 at 96 dpi
    const RECT band = {300, 607, client.right, client.bottom}; // 405 at 96 dpi
    for (size_t i = 0; i < started.size(); ++i) {
        EXPECT_EQ(started[i].places, moved[i].places) << pages[i] << " page";
        EXPECT_EQ("", PictureDifference(started[i].picture, moved[i].picture, &panel)) << pages[i] << " page";
        EXPECT_EQ("", PictureDifference(started[i].picture, moved[i].picture, &band)) << pages[i] << " page";
        printf("%s page, pages' area: %s\n", pages[i], PictureDifference(started[i].picture, moved[i].picture).c_str());
    }
}

} // namespace

namespace {

// What a screen reader reads of a window's client object, asked for as a
// screen reader asks, from another process.
struct Reading {
    std::string name = "(no object)";
    long role = 0;
    long state = 0;
};

Reading ReadAccessible(HWND control, long child = CHILDID_SELF)
{
    Reading reading;
    IAccessible *object = NULL;
    HRESULT hr = AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible), (void **)&object);
    if (FAILED(hr)) {
        char text[40];
        wsprintfA(text, "(no object: 0x%08lX)", (unsigned long)hr);
        reading.name = text;
        return reading;
    }
    VARIANT which = {};
    which.vt = VT_I4;
    which.lVal = child;
    BSTR name = NULL;
    reading.name = "(no name)";
    if (SUCCEEDED(object->get_accName(which, &name)) && name) {
        char text[256] = "";
        WideCharToMultiByte(CP_ACP, 0, name, -1, text, sizeof text, NULL, NULL);
        reading.name = text;
        SysFreeString(name);
    }
    VARIANT value = {};
    if (SUCCEEDED(object->get_accRole(which, &value)) && value.vt == VT_I4)
        reading.role = value.lVal;
    VariantInit(&value);
    if (SUCCEEDED(object->get_accState(which, &value)) && value.vt == VT_I4)
        reading.state = value.lVal;
    object->Release();
    return reading;
}

// A stop of the Tab order and what a screen reader says there.
struct TabStop {
    int id;
    const char *name;
    long role;
};
// The product's own controls say their role; a standard control's role is
// the system's (kSystem: Windows reads it by its class, Wine 8 reads every
// button, box and list as a plain client area), so only its name is read.
const long kButton = ROLE_SYSTEM_PUSHBUTTON, kLink = ROLE_SYSTEM_LINK, kText = ROLE_SYSTEM_TEXT,
           kBox = ROLE_SYSTEM_CHECKBUTTON, kSystem = -1;

// The panel's, before every page's.
const TabStop kPanelStops[] = {{IDC_NAV_HOME, "Home", kButton},       {IDC_NAV_ADVANCED, "Advanced", kButton},
                               {IDC_NAV_LOGS, "Logs", kButton},       {IDC_NAV_HELP, "Help", kButton},
                               {IDC_STATUS_HOTSPOT, "Status: Good", kButton}};
// The window's, after every page's.
const TabStop kButtonStops[] = {{IDC_OK, "OK", kSystem}, {IDC_CANCEL, "Cancel", kSystem}};

struct PageStops {
    int nav;
    int mark; // an id that only this page's controls have
    std::vector<TabStop> stops; // in reading order
};
const PageStops kPageStops[] = {
    {IDC_NAV_HOME,
     IDC_CHANGE_USER,
     {{IDC_HOME_USER, "Username:", kText},
      {IDC_CHANGE_USER, "Change User", kLink},
      {IDC_HOME_LAST_UPDATE, "Last Update:", kText},
      {IDC_VIEW_LOGS, "View Logs", kLink},
      {IDC_HOME_ADDRESS, "Current IP Address:", kText},
      {IDC_REFRESH_IP, "Refresh IP", kLink},
      {IDC_HOME_UPDATER, "Updater Status:", kText},
      {IDC_START_UPDATER, "Start Updater", kLink},
      {IDC_HOST_LIST, "My Hosts", kSystem},
      {IDC_REFRESH_HOSTS, "Refresh Host List", kLink},
      {IDC_MANAGE_HOSTS, "Manage Hosts", kLink},
      {IDC_CHECK_ALL, "All", kLink},
      {IDC_CHECK_NONE, "None", kLink},
      {IDC_CHECK_INVERSE, "Inverse", kLink}}},
    {IDC_NAV_ADVANCED,
     IDC_OPT_START_WITH_OS,
     {{IDC_OPT_START_WITH_OS, " Start Updater with Windows", kSystem},
      {IDC_OPT_LOAD_ICON, " Display Updater Icon in Notification Area (System Tray)", kSystem},
      {IDC_OPT_SYNC, " Automatically synchronize host list with Talvex", kSystem},
      {IDC_OPT_NOTIFY, " Show a System Notification when updates occur", kSystem},
      {IDC_OPT_UPGRADE, " Automatically check for Talvex software upgrades", kSystem},
      {IDC_VERSION_TEXT, "My Version:", kText}}},
    {IDC_NAV_LOGS,
     IDC_REFRESH_LOG,
     {{IDC_LOG_LIST, "Log File", kSystem},
      {IDC_REFRESH_LOG, "Refresh Log", kLink},
      {IDC_SAVE_LOG, "Save Log to File", kLink}}},
    {IDC_NAV_HELP,
     IDC_BUG_LINK,
     {{IDC_SUPPORT_LINK, "Contact the Talvex Support Team", kLink},
      {IDC_BUG_LINK, "Report a Bug or Request a Feature", kLink},
      {IDC_COMMUNITY_LINK, "Visit the Talvex Community Website", kLink}}},
};

std::string Describe(const TabStop &stop) { return std::to_string(stop.id) + " \"" + stop.name + "\" role " + std::to_string(stop.role); }

// The keyboard as the program's message loop meets it: keys posted to the
// control that has the focus.
class KeyboardWindow : public ConfigWindow {
protected:
    HWND Focused()
    {
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        return GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &gui) ? gui.hwndFocus : (HWND)NULL;
    }
    // Posts a key's press and release to the focus, as the keyboard would.
    void Press(WPARAM key)
    {
        HWND target = Focused() ? Focused() : window;
        PostMessageA(target, WM_KEYDOWN, key, 1);
        PostMessageA(target, WM_KEYUP, key, 0xC0000001);
    }
    // Tab, and wait until the focus has moved; false when it did not.
    bool Tab()
    {
        HWND before = Focused();
        Press(VK_TAB);
        return PumpUntil([&] { return Focused() != before; }, 5000);
    }
    // Tab until the focus stands on id; false when a whole round never did.
    bool TabTo(int id)
    {
        for (int i = 0; i < 60; ++i) {
            if (!Tab())
                return false;
            if (Focused() && GetDlgCtrlID(Focused()) == id)
                return true;
        }
        return false;
    }
    // The control that has the focus as a screen reader reads it; its role
    // only where the expected stop says one.
    std::string FocusReading(const TabStop &expected)
    {
        HWND focus = Focused();
        Reading r = ReadAccessible(focus);
        TabStop seen = {focus ? GetDlgCtrlID(focus) : -1, r.name.c_str(), expected.role == kSystem ? kSystem : r.role};
        return Describe(seen);
    }
    bool PageShown(int nav)
    {
        const PageStops &page = kPageStops[nav - IDC_NAV_HOME];
        return PumpUntil([&] {
            for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                if (IsWindowVisible(child) && GetDlgItem(child, page.mark))
                    return true;
            return false;
        }, 5000);
    }
    ScopedCom com;
};

// Every page: Tab goes round the panel, the page's controls in reading
// order and the window's buttons, and each stop is read by its name and
// role, as a screen reader reads them.
TEST_F(KeyboardWindow, TabReachesEveryControlInReadingOrderAndEachIsReadByNameAndRole)
{
    ASSERT_TRUE(Start("Username=alice\r\nStatus=0\r\nProxy=0\r\n"));
    // Until the updater's poll has chosen the Start link (no updater runs).
    ASSERT_TRUE(PumpUntil([&] {
        for (HWND page = GetWindow(window, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT))
            if (GetDlgItem(page, IDC_START_UPDATER) && IsWindowVisible(GetDlgItem(page, IDC_START_UPDATER)))
                return true;
        return false;
    }));
    SetForegroundWindow(window);
    for (const PageStops &page : kPageStops) {
        std::vector<TabStop> expected(std::begin(kPanelStops), std::end(kPanelStops));
        expected.insert(expected.end(), page.stops.begin(), page.stops.end());
        expected.insert(expected.end(), std::begin(kButtonStops), std::end(kButtonStops));
        ASSERT_TRUE(TabTo(page.nav)) << "Tab never reached navigation button " << page.nav;
        Press(VK_SPACE);
        ASSERT_TRUE(PageShown(page.nav)) << "page " << page.nav;
        ASSERT_TRUE(TabTo(IDC_NAV_HOME));
        std::vector<std::string> want, got;
        for (const TabStop &stop : expected) {
            want.push_back(Describe(stop));
            got.push_back(FocusReading(stop));
            Tab();
        }
        EXPECT_EQ(want, got) << "page " << page.nav;
    }
}

// Enter and Space on a focused link and on the status picture do what a
// click does, and Escape is the window's Cancel.
TEST_F(KeyboardWindow, EnterAndSpaceActivateLinksAndTheStatusPictureEscapeCancels)
{
    ASSERT_TRUE(Start("Username=alice\r\nStatus=0\r\nProxy=0\r\n"));
    SetForegroundWindow(window);
    for (WPARAM key : {VK_RETURN, VK_SPACE}) {
        ASSERT_TRUE(TabTo(IDC_STATUS_HOTSPOT));
        Press(key);
        HWND box = Question();
        ASSERT_TRUE(box != NULL) << "key " << key << " on the status picture explained nothing";
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
        ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 5000));
    }

    ASSERT_TRUE(TabTo(IDC_CHANGE_USER));
    Press(VK_RETURN);
    HWND account = NULL;
    ASSERT_TRUE(PumpUntil([&] {
        account = FindWindowExA(NULL, NULL, "#32770", "Talvex Account Information");
        return account && IsWindowVisible(account);
    }, 5000)) << "Enter on Change User opened no account dialog";
    const TabStop accountStops[] = {{IDC_ACCOUNT_USER, "Username:", kText},
                                    {IDC_ACCOUNT_PASSWORD, "Password:", kText},
                                    {IDC_ACCOUNT_OKAY, "Okay", kSystem},
                                    {IDC_ACCOUNT_CANCEL, "Cancel", kSystem}};
    std::vector<std::string> want, got;
    for (const TabStop &stop : accountStops) {
        want.push_back(Describe(stop));
        got.push_back(FocusReading(stop));
        Tab();
    }
    EXPECT_EQ(want, got) << "the account dialog";
    // Only its Cancel button cancels it (Escape does nothing there).
    PostMessageA(account, WM_COMMAND, MAKEWPARAM(IDC_ACCOUNT_CANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(account); }, 5000));
    EXPECT_EQ("alice", ConfigValue("Username"));

    ASSERT_TRUE(TabTo(IDC_VIEW_LOGS));
    Press(VK_SPACE);
    EXPECT_TRUE(PageShown(IDC_NAV_LOGS)) << "Space on View Logs";
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(Focused()); }, 5000))
        << "the focus stayed on the hidden page, on " << GetDlgCtrlID(Focused());

    Stop();
    ASSERT_TRUE(Start("Username=alice\r\nStatus=0\r\nProxy=0\r\n"));
    SetForegroundWindow(window);
    ASSERT_TRUE(TabTo(IDC_CHANGE_USER));
    Press(VK_ESCAPE);
    EXPECT_TRUE(Exited()) << "Escape is Cancel: the window closes";
}

// The host rows are read by their host and whether their box is ticked.
TEST_F(KeyboardWindow, HostRowsAreReadByTheirHostAndTick)
{
    ASSERT_TRUE(Start("Username=alice\r\nStatus=0\r\nProxy=0\r\n"
                      "[Hosts]\r\nCount=2\r\nHost1=one.talvex.test\r\nHost2=two.talvex.test\r\n"));
    HWND home = NULL;
    for (HWND page = GetWindow(window, GW_CHILD); page && !home; page = GetWindow(page, GW_HWNDNEXT))
        if (GetDlgItem(page, IDC_START_UPDATER))
            home = page;
    ASSERT_TRUE(home != NULL);
    HWND list = GetDlgItem(home, IDC_HOST_LIST);
    ASSERT_TRUE(PumpUntil([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 2; }, 5000));
    Reading second = ReadAccessible(list, 2);
    EXPECT_EQ("two.talvex.test", second.name);
    EXPECT_EQ(kBox, second.role);
    EXPECT_TRUE(second.state & STATE_SYSTEM_CHECKED) << "a saved host is ticked";

    PostMessageA(home, WM_COMMAND, MAKEWPARAM(IDC_CHECK_NONE, 0), (LPARAM)GetDlgItem(home, IDC_CHECK_NONE));
    EXPECT_TRUE(PumpUntil([&] { return !(ReadAccessible(list, 2).state & STATE_SYSTEM_CHECKED); }, 5000))
        << "None unticks it, and the row says so";
    EXPECT_EQ("one.talvex.test", ReadAccessible(list, 1).name);
}

} // namespace

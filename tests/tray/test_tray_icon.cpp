// The notification icon seen from the notification area: what the real
// TalTray hands the shell at start, on each tray pipe message, on the
// new-version notice and its balloon's click, on a shell restart, and how
// it ends. The menu is checked from TalTray.exe's own resource.
#include "tray_fixture.h"

#include "signals.h"
#include "tallib.h"
#include "tray_icon.h"
#include "tray_menu.h"
#include "tray_messages.h"
#include "update_results.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

const UINT kIconFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

std::string Tip(const std::string &update, const std::string &ip)
{
    return "Talvex Updater\n Last Update: " + update + " \n Latest IP Address: " + ip;
}

// One line per item of the menu: "-" a separator, "(grey)" a greyed item.
std::string Describe(HMENU menu)
{
    std::string text;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char name[64] = "";
        GetMenuStringA(menu, (UINT)i, name, sizeof name, MF_BYPOSITION);
        UINT state = GetMenuState(menu, (UINT)i, MF_BYPOSITION);
        if (state & MF_SEPARATOR)
            text += "-\n";
        else
            text += std::to_string(GetMenuItemID(menu, i)) + " " + name + (state & MF_GRAYED ? " (grey)\n" : "\n");
    }
    return text;
}

class TrayIcon : public TrayTest {
protected:
    // Starts TalTray (no version check) and waits until it added its icon.
    bool StartShown(const std::string &app = "")
    {
        return StartTray("Upgrade=0\r\n" + app) && PumpUntil([] { return FakeShell::iconShown; });
    }
    void Kill()
    {
        TrayIcon_Kill();
        EXPECT_TRUE(WaitForExit(tray));
    }
    size_t Requests() const { return FakeShell::requests.size(); }
    const ShellRequest &Last() const { return FakeShell::requests.back(); }

    FakeShell shell;
};

} // namespace

TEST_F(TrayIcon, TooltipTellsTheLastUpdateAndAddressCutToFit)
{
    const std::string longUpdate(63, 'u'), longIp(63, '9');
    struct {
        std::string app, tip;
    } rows[] = {
        {"", Tip("Never", "None")},
        {"LastUpdate=12-06-2026 19:05:07\r\nLastIP=203.0.113.9\r\n", Tip("12-06-2026 19:05:07", "203.0.113.9")},
        {"LastUpdate=" + longUpdate + "\r\nLastIP=" + longIp + "\r\n", Tip(longUpdate, longIp).substr(0, 127)},
    };
    for (const auto &row : rows) {
        ASSERT_TRUE(StartShown(row.app)) << "the icon was never added";
        EXPECT_EQ((DWORD)NIM_ADD, Last().message);
        EXPECT_EQ(trayWindow, Last().window);
        EXPECT_EQ(2000u, Last().id);
        EXPECT_EQ(1025u, Last().callback);
        EXPECT_EQ(kIconFlags, Last().flags);
        EXPECT_EQ(row.tip, Last().tip);
        Kill();
        CloseHandle(tray);
        tray = NULL;
    }
}

TEST_F(TrayIcon, PipeMessagesRefreshTheTipAndResultsShowBalloonsWhenNotifyIsOn)
{
    ASSERT_TRUE(StartShown());
    struct {
        const char *notify, *message;
        int balloonCode; // -1: none
    } rows[] = {
        {"1", "D198.51.100.4", -1}, {"1", "1", kResultGood}, {"1", "not a number", kResultNoExchange},
        {"0", "1", -1},             {"1", "D", -1},          {"1", "11", kResultBadauth},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string("Notify=") + row.notify + ", message \"" + row.message + "\"");
        WriteWholeFile(configFile, std::string("[App]\r\nUpgrade=0\r\nLastUpdate=12-06-2026 19:05:07\r\n") +
                                       "LastIP=198.51.100.4\r\nNotify=" + row.notify + "\r\n");
        size_t before = Requests();
        size_t expected = before + (row.balloonCode < 0 ? 1 : 2);
        ASSERT_TRUE(SendPipe(row.message));
        ASSERT_TRUE(PumpUntil([&] { return Requests() >= expected; }));
        Pump(300); // nothing more may follow
        ASSERT_EQ(expected, Requests());

        const ShellRequest &refresh = FakeShell::requests[before];
        EXPECT_EQ((DWORD)NIM_MODIFY, refresh.message);
        EXPECT_EQ(Tip("12-06-2026 19:05:07", "198.51.100.4"), refresh.tip);
        EXPECT_EQ("", refresh.info) << "a refresh never shows a balloon";
        if (row.balloonCode >= 0) {
            char text[256];
            int kind = 1;
            GetBalloonMessage((unsigned)row.balloonCode, text, sizeof text, &kind);
            const ShellRequest &balloon = Last();
            EXPECT_EQ((DWORD)NIM_MODIFY, balloon.message);
            EXPECT_EQ(kIconFlags | NIF_INFO, balloon.flags);
            EXPECT_EQ(text, balloon.info);
            EXPECT_EQ((DWORD)kind, balloon.infoFlags);
            EXPECT_EQ("Talvex Updater", balloon.title);
            EXPECT_EQ(0u, balloon.timeout);
        }
    }
}

TEST_F(TrayIcon, NewVersionBalloonClickStartsTheUpgradeAssistantOnce)
{
    ASSERT_TRUE(StartShown("Notify=1\r\n"));
    auto click = [&](LPARAM event) { SendMessageA(trayWindow, kTrayCallback, kTrayIconId, event); };
    auto upgrades = [&] { return Started().size(); }; // only the upgrade assistant starts here

    EXPECT_EQ(0, SendMessageA(trayWindow, WM_USER, 141, 0)) << "other codes are ignored";
    EXPECT_EQ(0, SendMessageA(trayWindow, WM_USER, kCmdUpgradeAvailable, 0));
    EXPECT_EQ(kNewVersionBalloon, Last().info);
    EXPECT_EQ((DWORD)NIIF_INFO, Last().infoFlags);
    click(NIN_BALLOONUSERCLICK);
    ASSERT_TRUE(PumpUntil([&] { return upgrades() == 1; })) << "the click started no upgrade assistant";
    click(NIN_BALLOONUSERCLICK);
    ASSERT_TRUE(StubsEnded());
    EXPECT_EQ(std::vector<std::string>{"TalUpUp.exe||1"}, Started());

    // A balloon that timed out, or was replaced by a result's, leaves
    // nothing pending.
    SendMessageA(trayWindow, WM_USER, kCmdUpgradeAvailable, 0);
    click(NIN_BALLOONTIMEOUT);
    click(NIN_BALLOONUSERCLICK);
    SendMessageA(trayWindow, WM_USER, kCmdUpgradeAvailable, 0);
    size_t before = Requests();
    ASSERT_TRUE(SendPipe("1"));
    ASSERT_TRUE(PumpUntil([&] { return Requests() >= before + 2; }));
    click(NIN_BALLOONUSERCLICK);
    ASSERT_TRUE(StubsEnded());
    EXPECT_EQ(1u, upgrades());
}

TEST_F(TrayIcon, MenuCommandsAndDoubleClickStartWhatTheyName)
{
    ASSERT_TRUE(StartShown());
    // No service and no updater window: the updater starts as TalUpPs and
    // is stopped through the controller.
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const char *started;
    } rows[] = {
        {WM_COMMAND, IDM_CONFIGURATION, 0, "TalUpConfig.exe||1"},
        {WM_COMMAND, IDM_UPGRADE, 0, "TalUpUp.exe||1"},
        {WM_COMMAND, IDM_START_UPDATER, 0, "TalUpPs.exe||1"},
        {WM_COMMAND, IDM_STOP_UPDATER, 0, "TalUpControl.exe|18|0"},
        {kTrayCallback, kTrayIconId, WM_LBUTTONDBLCLK, "TalUpConfig.exe||1"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.started);
        DeleteFileA((dataFolder + "started.txt").c_str());
        SendMessageA(trayWindow, row.message, row.wParam, row.lParam);
        ASSERT_TRUE(PumpUntil([&] { return !Started().empty(); }));
        ASSERT_TRUE(StubsEnded());
        EXPECT_EQ(std::vector<std::string>{row.started}, Started());
    }
}

TEST_F(TrayIcon, ComesBackAfterAShellRestartStaysSingleAndEndsOnKill)
{
    ASSERT_TRUE(StartShown());
    SendMessageA(trayWindow, WM_USER, kCmdUpgradeAvailable, 0); // a balloon flag to clear

    shell.Restart(trayWindow);
    ASSERT_TRUE(PumpUntil([] { return FakeShell::iconShown; })) << "the icon did not come back";
    EXPECT_EQ((DWORD)NIM_ADD, Last().message);
    EXPECT_EQ(kIconFlags, Last().flags);

    size_t before = Requests();
    HANDLE second = StartTrayProcess();
    ASSERT_TRUE(second);
    EXPECT_TRUE(WaitForExit(second)) << "a second instance kept running";
    DWORD code = 99;
    GetExitCodeProcess(second, &code);
    CloseHandle(second);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(before, Requests()) << "the second instance talked to the shell";
    EXPECT_EQ(trayWindow, TrayIcon_Find());

    Kill();
    GetExitCodeProcess(tray, &code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ((DWORD)NIM_DELETE, Last().message);
    EXPECT_FALSE(FakeShell::iconShown);
}

TEST_F(TrayIcon, StartedThreeTimesAtOnceShowsOneIcon)
{
    WriteWholeFile(configFile, "[App]\r\nUpgrade=0\r\n");
    HANDLE started[3], threads[3];
    for (int i = 0; i < 3; ++i)
        started[i] = StartTrayProcess(&threads[i]);
    for (HANDLE thread : threads) { // all at once, as at logon
        ResumeThread(thread);
        CloseHandle(thread);
    }
    ASSERT_TRUE(PumpUntil([&] { return FakeShell::iconShown; }));
    int running = 0;
    for (HANDLE process : started) {
        if (WaitForExit(process, 3000)) {
            CloseHandle(process);
            continue;
        }
        if (++running == 1) {
            tray = process; // the fixture ends it
        } else {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    }
    EXPECT_EQ(1, running);
    EXPECT_EQ(1, std::count_if(FakeShell::requests.begin(), FakeShell::requests.end(),
                               [](const ShellRequest &r) { return r.message == NIM_ADD; }))
        << "more than one icon was added";
}

TEST_F(TrayIcon, AStormOfWritersLeavesTheListenerServing)
{
    ASSERT_TRUE(StartShown("Notify=0\r\n"));
    size_t before = Requests();
    std::atomic<int> delivered{0}, finished{0};
    std::vector<std::thread> writers;
    for (int i = 0; i < 8; ++i)
        writers.emplace_back([&] {
            for (int j = 0; j < 20; ++j)
                delivered += Signal(kTrayPipeName, "D192.0.2.1");
            ++finished;
        });
    // The icon's requests to the shell wait for this thread: keep
    // answering them while the writers run.
    PumpUntil([&] { return finished == 8; });
    for (std::thread &w : writers)
        w.join();
    ASSERT_GT(delivered.load(), 0);
    EXPECT_TRUE(PumpUntil([&] { return Requests() == before + delivered.load(); }))
        << delivered.load() << " messages delivered, " << Requests() - before << " refreshes";
    ASSERT_TRUE(SendPipe("D"));
    EXPECT_TRUE(PumpUntil([&] { return Requests() == before + delivered.load() + 1; }));
}

TEST(TrayMenu, HoldsItsCommandsWithTheUpdaterItemsSetByItsState)
{
    HMODULE program = LoadLibraryExA((ExeFolder() + "TalTray.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(program);
    for (bool active : {false, true}) {
        HMENU menu = LoadTrayMenu(program, active);
        ASSERT_TRUE(menu);
        EXPECT_EQ(std::string("40009 Configuration\n-\n40007 Start Updater") + (active ? " (grey)" : "") +
                      "\n40006 Stop Updater" + (active ? "" : " (grey)") +
                      "\n-\n40003 Hide Tray Icon\n1004 Check for Upgrades\n-\n40005 Exit Talvex Updater\n",
                  Describe(menu));
        DestroyMenu(menu);
    }
    FreeLibrary(program);
}

TEST(TrayResources, IconGroupHoldsSixteenPixelImagesAtFourEightAnd32BitsAndLargerOnes)
{
    HMODULE program = LoadLibraryExA((ExeFolder() + "TalTray.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(program);
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(IDI_TRAY_ICON), RT_GROUP_ICON);
    ASSERT_TRUE(found);
    // The group's directory: reserved, type, count, then 14-byte entries.
    const BYTE *group = static_cast<const BYTE *>(LockResource(LoadResource(program, found)));
    std::string images;
    for (WORD i = 0; i < *(const WORD *)(group + 4); ++i) {
        const BYTE *entry = group + 6 + 14 * i;
        images += std::to_string(entry[0]) + "x" + std::to_string(entry[1]) + "x" +
                  std::to_string(*(const WORD *)(entry + 6)) + " ";
    }
    // Then the sizes the system picks at 125 % and 150 % scaling and above.
    EXPECT_EQ("16x16x4 16x16x8 16x16x32 20x20x32 24x24x32 32x32x32 48x48x32 ", images);
    FreeLibrary(program);
}

TEST(TrayWork, TheWorkingSetIsGivenBackAfterWorkNeverAsThePointerPasses)
{
    struct {
        LPARAM event;
        bool trims;
    } rows[] = {
        {WM_MOUSEMOVE, false},        {WM_LBUTTONDOWN, false},      {WM_LBUTTONUP, false},
        {WM_RBUTTONUP, false},        {NIN_BALLOONSHOW, false},     {WM_LBUTTONDBLCLK, true},
        {WM_RBUTTONDOWN, true},       {NIN_BALLOONUSERCLICK, true}, {NIN_BALLOONHIDE, true},
        {NIN_BALLOONTIMEOUT, true},
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.trims, IconEventEndsWork(row.event)) << "icon event " << row.event;
}

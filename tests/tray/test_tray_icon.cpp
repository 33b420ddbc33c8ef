// The notification icon seen from the notification area: what the real
// TalTray hands the shell at start, on each tray pipe message, on the
// new-version notice and its balloon's click, on a shell restart, and how
// it ends. The menu is checked from TalTray.exe's own resource.
#include "tray_fixture.h"

#include "signals.h"
#include "tallib.h"
#include "tray.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

const UINT kIconFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

std::string Tip(const std::string &update, const std::string &ip)
{
    return "Talvex Updater\n Last Update: " + update + " \n Latest IP Address: " + ip;
}

size_t CountStarts(const std::vector<std::string> &lines, const std::string &program)
{
    size_t n = 0;
    for (const std::string &line : lines)
        n += line.rfind(program + "|", 0) == 0;
    return n;
}

} // namespace

TEST_F(TrayTest, TooltipTellsTheLastUpdateAndAddressCutToFit)
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
        FakeShell shell;
        ASSERT_TRUE(StartTray("Upgrade=0\r\n" + row.app));
        ASSERT_TRUE(PumpUntil([] { return FakeShell::iconShown; })) << "the icon was never added";
        const ShellRequest &added = FakeShell::requests.back();
        EXPECT_EQ((DWORD)NIM_ADD, added.message);
        EXPECT_EQ(trayWindow, added.window);
        EXPECT_EQ(2000u, added.id);
        EXPECT_EQ(1025u, added.callback);
        EXPECT_EQ(kIconFlags, added.flags);
        EXPECT_EQ(row.tip, added.tip);
        TrayIcon_Kill();
        ASSERT_TRUE(WaitForExit(tray));
        CloseHandle(tray);
        tray = NULL;
    }
}

TEST_F(TrayTest, PipeMessagesRefreshTheTipAndResultsShowBalloonsWhenNotifyIsOn)
{
    FakeShell shell;
    ASSERT_TRUE(StartTray("Upgrade=0\r\n"));
    ASSERT_TRUE(PumpUntil([] { return FakeShell::iconShown; }));
    struct {
        const char *notify, *message;
        int balloonCode; // -1: none
    } rows[] = {
        {"1", "D198.51.100.4", -1}, {"1", "1", 1}, {"1", "not a number", 0},
        {"0", "1", -1},             {"1", "D", -1}, {"1", "11", 11},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string("Notify=") + row.notify + ", message \"" + row.message + "\"");
        WriteWholeFile(configFile, std::string("[App]\r\nUpgrade=0\r\nLastUpdate=12-06-2026 19:05:07\r\n") +
                                       "LastIP=198.51.100.4\r\nNotify=" + row.notify + "\r\n");
        size_t before = FakeShell::requests.size();
        size_t expected = before + (row.balloonCode < 0 ? 1 : 2);
        ASSERT_TRUE(SendPipe(row.message));
        ASSERT_TRUE(PumpUntil([&] { return FakeShell::requests.size() >= expected; }));
        Pump(300); // nothing more may follow
        ASSERT_EQ(expected, FakeShell::requests.size());

        const ShellRequest &refresh = FakeShell::requests[before];
        EXPECT_EQ((DWORD)NIM_MODIFY, refresh.message);
        EXPECT_EQ(Tip("12-06-2026 19:05:07", "198.51.100.4"), refresh.tip);
        EXPECT_EQ("", refresh.info) << "a refresh never shows a balloon";
        if (row.balloonCode >= 0) {
            char text[256];
            int kind = 1;
            GetBalloonMessage((unsigned)row.balloonCode, text, sizeof text, &kind);
            const ShellRequest &balloon = FakeShell::requests.back();
            EXPECT_EQ((DWORD)NIM_MODIFY, balloon.message);
            EXPECT_EQ(kIconFlags | NIF_INFO, balloon.flags);
            EXPECT_EQ(text, balloon.info);
            EXPECT_EQ((DWORD)kind, balloon.infoFlags);
            EXPECT_EQ("Talvex Updater", balloon.title);
            EXPECT_EQ(0u, balloon.timeout);
        }
    }
}

TEST_F(TrayTest, NewVersionBalloonClickStartsTheUpgradeAssistantOnce)
{
    FakeShell shell;
    ASSERT_TRUE(StartTray("Upgrade=0\r\nNotify=1\r\n"));
    auto click = [&](LPARAM event) { SendMessageA(trayWindow, kTrayCallback, kTrayIconId, event); };
    auto upgrades = [&] { return CountStarts(Started(), "TalUpUp.exe"); };

    EXPECT_EQ(0, SendMessageA(trayWindow, WM_USER, 141, 0)) << "other codes are ignored";
    EXPECT_EQ(0, SendMessageA(trayWindow, WM_USER, kCmdUpgradeAvailable, 0));
    const ShellRequest &balloon = FakeShell::requests.back();
    EXPECT_EQ(kNewVersionBalloon, balloon.info);
    EXPECT_EQ((DWORD)NIIF_INFO, balloon.infoFlags);
    click(NIN_BALLOONUSERCLICK);
    ASSERT_TRUE(PumpUntil([&] { return upgrades() == 1; })) << "the click started no upgrade assistant";
    click(NIN_BALLOONUSERCLICK);
    EXPECT_EQ(std::vector<std::string>{"TalUpUp.exe||1"}, Started());

    // A balloon that timed out, or was replaced by a result's, leaves
    // nothing pending.
    SendMessageA(trayWindow, WM_USER, kCmdUpgradeAvailable, 0);
    click(NIN_BALLOONTIMEOUT);
    click(NIN_BALLOONUSERCLICK);
    SendMessageA(trayWindow, WM_USER, kCmdUpgradeAvailable, 0);
    size_t before = FakeShell::requests.size();
    ASSERT_TRUE(SendPipe("1"));
    ASSERT_TRUE(PumpUntil([&] { return FakeShell::requests.size() >= before + 2; }));
    click(NIN_BALLOONUSERCLICK);
    Pump(1000);
    EXPECT_EQ(1u, upgrades());
}

TEST_F(TrayTest, MenuCommandsAndDoubleClickStartWhatTheyName)
{
    FakeShell shell;
    ASSERT_TRUE(StartTray("Upgrade=0\r\n"));
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
        Pump(300);
        EXPECT_EQ(std::vector<std::string>{row.started}, Started());
    }
}

TEST_F(TrayTest, ComesBackAfterAShellRestartStaysSingleAndEndsOnKill)
{
    FakeShell shell;
    ASSERT_TRUE(StartTray("Upgrade=0\r\n"));
    ASSERT_TRUE(PumpUntil([] { return FakeShell::iconShown; }));
    SendMessageA(trayWindow, WM_USER, kCmdUpgradeAvailable, 0); // a balloon flag to clear

    shell.Restart(trayWindow);
    ASSERT_TRUE(PumpUntil([] { return FakeShell::iconShown; })) << "the icon did not come back";
    EXPECT_EQ((DWORD)NIM_ADD, FakeShell::requests.back().message);
    EXPECT_EQ(kIconFlags, FakeShell::requests.back().flags);

    size_t before = FakeShell::requests.size();
    HANDLE second = StartTrayProcess();
    ASSERT_TRUE(second);
    EXPECT_TRUE(WaitForExit(second)) << "a second instance kept running";
    DWORD code = 99;
    GetExitCodeProcess(second, &code);
    CloseHandle(second);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(before, FakeShell::requests.size()) << "the second instance talked to the shell";
    EXPECT_EQ(trayWindow, TrayIcon_Find());

    TrayIcon_Kill();
    ASSERT_TRUE(WaitForExit(tray));
    GetExitCodeProcess(tray, &code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ((DWORD)NIM_DELETE, FakeShell::requests.back().message);
    EXPECT_FALSE(FakeShell::iconShown);
}

TEST_F(TrayTest, AStormOfWritersLeavesTheListenerServing)
{
    FakeShell shell;
    ASSERT_TRUE(StartTray("Upgrade=0\r\nNotify=0\r\n"));
    ASSERT_TRUE(PumpUntil([] { return FakeShell::iconShown; }));
    size_t before = FakeShell::requests.size();
    std::atomic<int> delivered{0};
    std::vector<std::thread> writers;
    for (int i = 0; i < 8; ++i)
        writers.emplace_back([&] {
            for (int j = 0; j < 20; ++j)
                delivered += Signal(kTrayPipeName, "D192.0.2.1");
        });
    // The writers do not wait for the icon, but the icon's requests wait
    // for this thread: keep answering them.
    PumpUntil([&] { return delivered.load() > 0 && FakeShell::requests.size() >= before + delivered.load(); });
    for (std::thread &w : writers)
        w.join();
    ASSERT_GT(delivered.load(), 0);
    EXPECT_TRUE(PumpUntil([&] { return FakeShell::requests.size() == before + delivered.load(); }))
        << delivered.load() << " messages delivered, " << FakeShell::requests.size() - before << " refreshes";
    ASSERT_TRUE(SendPipe("D"));
    EXPECT_TRUE(PumpUntil([&] { return FakeShell::requests.size() == before + delivered.load() + 1; }));
}

TEST(TrayMenu, HoldsItsCommandsWithTheUpdaterItemsSetByItsState)
{
    HMODULE program = LoadLibraryExA((ExeFolder() + "TalTray.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(program);
    const struct {
        UINT id;
        const char *text;
    } items[] = {{IDM_CONFIGURATION, "Configuration"},   {0, ""}, {IDM_START_UPDATER, "Start Updater"},
                 {IDM_STOP_UPDATER, "Stop Updater"},     {0, ""}, {IDM_HIDE_ICON, "Hide Tray Icon"},
                 {IDM_UPGRADE, "Check for Upgrades"}, {0, ""}, {IDM_EXIT, "Exit Talvex Updater"}};
    for (bool active : {false, true}) {
        SCOPED_TRACE(active ? "updater active" : "updater inactive");
        HMENU menu = LoadTrayMenu(program, active);
        ASSERT_TRUE(menu);
        ASSERT_EQ((int)std::size(items), GetMenuItemCount(menu));
        for (int i = 0; i < (int)std::size(items); ++i) {
            char text[64] = "";
            GetMenuStringA(menu, (UINT)i, text, sizeof text, MF_BYPOSITION);
            EXPECT_EQ(items[i].id, items[i].id ? GetMenuItemID(menu, i) : 0u);
            EXPECT_STREQ(items[i].text, text);
            UINT state = GetMenuState(menu, (UINT)i, MF_BYPOSITION);
            EXPECT_EQ(items[i].id == 0, (state & MF_SEPARATOR) != 0);
            bool greyed = (state & MF_GRAYED) != 0;
            if (items[i].id == IDM_START_UPDATER)
                EXPECT_EQ(active, greyed);
            else if (items[i].id == IDM_STOP_UPDATER)
                EXPECT_EQ(!active, greyed);
            else if (items[i].id) {
                EXPECT_FALSE(greyed) << items[i].text;
            }
        }
        DestroyMenu(menu);
    }
    FreeLibrary(program);
}

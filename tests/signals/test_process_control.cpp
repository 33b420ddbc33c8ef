// Finding, commanding and starting the programs of the suite. The windows
// are message-only windows of the test's own; the programs are stubs built
// under the real file names into this test's own folder, so the shell
// starts them from beside the executable exactly as it would the real ones.
#include "test_env.h"
#include "test_windows.h"
#include "signals.h"
#include "tallib.h"

#include <string>

class ProcessControl : public DataFolderTest {
protected:
    std::string startedFile() const { return dataFolder + "started.txt"; }
    void SetUp() override
    {
        DataFolderTest::SetUp();
        DeleteFileA(startedFile().c_str());
    }
    void TearDown() override
    {
        DeleteFileA(startedFile().c_str());
        DataFolderTest::TearDown();
    }
    // The first line a stub wrote, waiting for it at most 10 s.
    std::string FirstStart()
    {
        for (int i = 0; i < 200; ++i) {
            std::string text = ReadWholeFile(startedFile());
            size_t end = text.find("\r\n");
            if (end != std::string::npos)
                return text.substr(0, end);
            Sleep(50);
        }
        return "(nothing started)";
    }
    // Whether any stub started, asked once every stub the shell started
    // has ended.
    bool AnythingStarted()
    {
        EXPECT_TRUE(WaitForProgramsToEnd(ExeFolder(), {"TalTray.exe", "TalUpPs.exe", "TalUpConfig.exe", "TalUpUp.exe",
                                                       "TalUpControl.exe"}))
            << "a stub never ended";
        return FileExists(startedFile());
    }
};

TEST_F(ProcessControl, NoServiceIsInstalledInTheTestPrefix)
{
    EXPECT_EQ(0, IsRunningService());
}

TEST_F(ProcessControl, TheUpdaterWindowIsFoundByClassAndGetsCommands)
{
    EXPECT_EQ(0, IsRunningProcess());
    EXPECT_EQ(0, GetActive());
    {
        TestWindow updater(kUpdaterClass, kUpdaterTitle);
        ASSERT_NE((HWND)NULL, updater.handle());
        EXPECT_EQ(1, IsRunningProcess());
        EXPECT_EQ(1, GetActive());

        EXPECT_EQ(AnswerFor(131), TellServer(131)) << "the window's own answer is returned";
        EXPECT_EQ(1, TestWindow::received.count);
        EXPECT_EQ((UINT)WM_USER, TestWindow::received.message);
        EXPECT_EQ(131u, TestWindow::received.code);
        EXPECT_EQ(0, TestWindow::received.lParam);

        EXPECT_EQ(AnswerFor(18), StopUpdater());
        EXPECT_EQ(18u, TestWindow::received.code);

        EXPECT_EQ((INT_PTR)updater.handle(), StartUpdater()) << "a running updater is not started again";
    }
    {
        TestWindow other(kUpdaterClass, "Some other title");
        EXPECT_EQ(1, IsRunningProcess()) << "the updater is found by class alone";
    }
    EXPECT_FALSE(AnythingStarted());
}

TEST_F(ProcessControl, TheConfigurationWindowNeedsClassAndTitle)
{
    EXPECT_EQ(0, TellConfig(140, 0)) << "no window, nothing sent";
    {
        TestWindow wrongTitle(kConfigClass, "Talvex Updater");
        EXPECT_EQ(0, TellConfig(140, 0));
        EXPECT_EQ(0, TestWindow::received.count);
    }
    TestWindow config(kConfigClass, kConfigTitle);
    EXPECT_EQ(AnswerFor(132), TellConfig(132, 2));
    EXPECT_EQ(132u, TestWindow::received.code);
    EXPECT_EQ(2, TestWindow::received.lParam);
}

TEST_F(ProcessControl, TheTrayIconIsFoundKilledAndAlerted)
{
    EXPECT_EQ((HWND)NULL, TrayIcon_Find());
    EXPECT_EQ(0, TrayIcon_Kill());
    EXPECT_EQ(0, Alert(137));
    TestWindow tray(kTrayClass, "any title");
    EXPECT_EQ(tray.handle(), TrayIcon_Find());

    EXPECT_EQ(AnswerFor(138), Alert(138));
    EXPECT_EQ((UINT)WM_USER, TestWindow::received.message);
    EXPECT_EQ(138u, TestWindow::received.code);

    EXPECT_EQ(kQuitAnswer, TrayIcon_Kill());
    EXPECT_EQ((UINT)WM_QUIT, TestWindow::received.message);
    EXPECT_EQ(0u, TestWindow::received.code);
}

TEST_F(ProcessControl, TheUpgradeAssistantIsFoundByClass)
{
    EXPECT_EQ((HWND)NULL, TalUp_Find());
    TestWindow upgrade(kUpgradeClass, "Talvex Updater Upgrade");
    EXPECT_EQ(upgrade.handle(), TalUp_Find());
}

TEST_F(ProcessControl, ExecuteConfigOpensTheConfigurationUtilityShownNormally)
{
    EXPECT_GT(Execute_Config(NULL), 32);
    EXPECT_EQ("TalUpConfig.exe||1", FirstStart());
}

TEST_F(ProcessControl, ExecuteTrayIconOpensTheIconProgramHidden)
{
    EXPECT_GT(Execute_TrayIcon(NULL), 32);
    EXPECT_EQ("TalTray.exe||0", FirstStart());
}

TEST_F(ProcessControl, ExecuteUpgradeOpensTheUpgradeAssistant)
{
    EXPECT_GT(Execute_Upgrade(NULL), 32);
    EXPECT_EQ("TalUpUp.exe||1", FirstStart());
}

TEST_F(ProcessControl, StartUpdaterWithoutServiceOrWindowStartsTheUserProcessUpdater)
{
    EXPECT_GT(StartUpdater(), 32);
    EXPECT_EQ("TalUpPs.exe||1", FirstStart());
}

TEST_F(ProcessControl, TellServerWithoutAWindowHandsTheCodeToTheController)
{
    EXPECT_EQ(0, TellServer(131));
    EXPECT_EQ("TalUpControl.exe|131|0", FirstStart());
}

TEST_F(ProcessControl, StopUpdaterWithoutServiceOrWindowSendsQuitThroughTheController)
{
    EXPECT_EQ(0, StopUpdater());
    EXPECT_EQ("TalUpControl.exe|18|0", FirstStart());
}

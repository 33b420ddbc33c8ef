// The configuration pipe listener, run in the test's process and posting
// to a recording window that stands in for the main window: what each
// message makes it post, that it keeps serving, and the activity poll.
#include "config_messages.h"
#include "config_pipe.h"


#include "signals.h"
#include "tallib.h"
#include "test_env.h"
#include "test_windows.h"

#include <gtest/gtest.h>

#include <vector>

namespace {


// The WM_USER codes posted to the window, in order of arrival.
std::vector<WPARAM> CommandsPosted()
{
    std::vector<WPARAM> codes;
    for (const ReceivedMessage &m : TestWindow::messages) {
        if (m.message == WM_USER)
            codes.push_back(m.wParam);
    }
    return codes;
}

// The running flags of the activity reports, in order of arrival.
std::vector<WPARAM> ActivityReports()
{
    std::vector<WPARAM> flags;
    for (const ReceivedMessage &m : TestWindow::messages) {
        if (m.message == kMsgUpdaterActivity)
            flags.push_back(m.wParam);
    }
    return flags;
}

// One listener for the whole program, as in the utility; its window is
// the first test's recording window, kept for all of them.
class ConfigPipe : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        window = new TestWindow("TALVEX_TEST_CONFIG_MAIN", "main window");
        ASSERT_TRUE(StartConfigPipeListener(window->handle()));
        Pump(300);
    }
    void SetUp() override
    {
        Pump(100);
        TestWindow::Clear();
    }
    // Writes one message as TalLib's writers do; they are never refused.
    void Send(const char *text) { ASSERT_EQ(1, Signal(kConfigPipeName, text)) << "no instance took " << text; }

    static TestWindow *window;
};
TestWindow *ConfigPipe::window = NULL;

TEST_F(ConfigPipe, EachMessagePostsWhatItsFirstByteNames)
{
    struct Case {
        const char *message;
        std::vector<WPARAM> posted;
    } cases[] = {
        {"A", {kCmdRefreshLog}},
        {"B", {kCmdRefreshStatus}},
        {"C", {kCmdRefreshLog, kCmdRefreshStatus}}, // the log first
        {"Axy", {kCmdRefreshLog}},
        {"Z", {}},
        {"", {}},
        {"c", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("message \"") + c.message + "\"");
        TestWindow::Clear();
        Send(c.message);
        Pump(400);
        EXPECT_EQ(c.posted, CommandsPosted());
    }
}

TEST_F(ConfigPipe, WritersArrivingTogetherAreAllServed)
{
    // Eight writers at once, each trying once as the updater and TalLib
    // do: each finds a free instance and each message arrives.
    std::vector<std::string> lines(8, Quoted(ExeFolder() + "ConfigSignal.exe") + " pipe A");
    for (int code : RunConcurrently(lines, 20000))
        EXPECT_EQ(0, code);
    Pump(800);
    EXPECT_EQ(std::vector<WPARAM>(8, kCmdRefreshLog), CommandsPosted());
}

TEST_F(ConfigPipe, ActivityIsReportedAboutEveryTwoSecondsEvenWhileMessagesArrive)
{
    DWORD start = GetTickCount();
    // A message every 300 ms must not hold the poll back.
    while (GetTickCount() - start < 6500) {
        Send("A");
        Pump(300);
    }
    std::vector<WPARAM> flags = ActivityReports();
    EXPECT_GE(flags.size(), 3u);
    EXPECT_LE(flags.size(), 4u);
    for (WPARAM flag : flags)
        EXPECT_EQ(0u, flag) << "no updater runs";

    // A stand-in updater window: the next reports say it runs.
    TestWindow updater(kUpdaterClass, kUpdaterTitle);
    Pump(4500);
    flags = ActivityReports();
    ASSERT_FALSE(flags.empty());
    EXPECT_EQ(1u, flags.back());
}

} // namespace

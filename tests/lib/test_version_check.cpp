// NewVersion and CheckVersion against the local service's version page,
// with message-only windows of the configuration utility and the
// notification icon receiving the background check's codes.
#include "test_env.h"
#include "service_control.h"
#include "test_windows.h"
#include "signals.h"
#include "tallib.h"

#include <string.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Codes received by the two windows, as "config 141" or "tray 142", in order.
std::vector<std::string> ReceivedCodes(HWND tray)
{
    std::vector<std::string> codes;
    for (const ReceivedMessage &m : TestWindow::messages) {
        if (m.message == WM_USER)
            codes.push_back(std::string(m.window == tray ? "tray " : "config ") + std::to_string(m.wParam) +
                            (m.lParam ? " with lParam" : ""));
    }
    return codes;
}

// Pumps this thread's messages for a while, or until a code arrived.
void Pump(DWORD milliseconds, bool untilCode)
{
    DWORD end = GetTickCount() + milliseconds;
    while (GetTickCount() < end && !(untilCode && !TestWindow::messages.empty())) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
}

using Codes = std::vector<std::string>;

class VersionCheck : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        service::Reset();
        configWindow = std::make_unique<TestWindow>(kConfigClass, kConfigTitle);
        trayWindow = std::make_unique<TestWindow>(kTrayClass, kTrayTitle);
        ASSERT_NE((HWND)NULL, configWindow->handle());
        ASSERT_NE((HWND)NULL, trayWindow->handle());
    }
    void TearDown() override
    {
        trayWindow.reset();
        configWindow.reset();
        service::Reset();
        DataFolderTest::TearDown();
    }
    // One background check of the page body, waiting for its report.
    // A check that reports nothing is given wait milliseconds to end.
    Codes Check(const std::string &body, const char *ignored = "", DWORD wait = 10000)
    {
        service::SetVersion(body);
        Profile_WriteText(configFile.c_str(), "App", "IgnoreVersion", ignored);
        TestWindow::Clear();
        CheckVersion();
        Pump(wait, true);
        Pump(300, false); // nothing more may follow
        return Received();
    }
    // CheckVersion until one reports: proves that no check is stuck busy.
    bool ACheckRunsAgain()
    {
        for (int i = 0; i < 50 && TestWindow::messages.empty(); ++i) {
            CheckVersion();
            Pump(200, true);
        }
        Pump(300, false); // the rest of that check's report
        return !TestWindow::messages.empty();
    }
    Codes Received() { return ReceivedCodes(trayWindow->handle()); }

    std::unique_ptr<TestWindow> configWindow;
    std::unique_ptr<TestWindow> trayWindow;
};

} // namespace

struct Comparison {
    const char *first;
    const char *second;
    int newer;
};

TEST(IsNewerThan, ComparesTheFirstThreeFieldsThenTheBetaMark)
{
    const Comparison cases[] = {
        {"4.0.10", "4.0.8", 1},
        {"4.1.0", "4.0.8", 1},
        {"5.0.0", "4.9.9", 1},
        {"4.0.8", "4.0.8", 0},
        {"4.0.8", "4.0.10", 0},
        {"4.0.8", "4.0.8b", 1}, // a release is newer than its beta
        {"4.0.8b", "4.0.8", 0},
        {"4.0.8b2", "4.0.8b1", 0}, // nothing after the mark counts
        {"4.0.8b1", "4.0.8b2", 0},
        {"4.0.8B", "4.0.8", 0},    // only a lower-case b marks a beta
        {"4:0:9", "4.0.8", 1},
        {" \t4..0.\r\n9 ", "4.0.8", 1}, // runs of separators, at either end
        {"Version 4.0.9", "0.4.0", 0}, // reads as 0.4.0
        {"Version 4.0.9", "0.3.9", 1},
        {"4.0.8.99", "4.0.8", 0},  // a fourth field is ignored
        {"4.1", "4.0.8", 1},       // missing fields are 0
        {"4.1", "4.1.0", 0},
        {"", "0.0.0", 0},
        {"4.0.-1", "4.0.8", 1}, // -1 is a very large unsigned number
        {"4.0.8", "4.0.-1", 0},
        {"4.0.9x", "4.0.9", 0},    // leading digits only
    };
    for (const Comparison &c : cases)
        EXPECT_EQ(c.newer, IsNewerThan(c.first, 0, c.second, 0)) << c.first << " against " << c.second;
    EXPECT_EQ(0, IsNewerThan(NULL, 0, "4.0.8", 5));
}

TEST_F(VersionCheck, NewVersionTrimsTheBodyAndCompares)
{
    struct {
        const char *body;
        int result;
        const char *found;
    } cases[] = {
        {"4.0.8\r\n", 0, "4.0.8"},
        {"--4.0.9--", 1, "4.0.9"},
        {"\t:;_=4.0.9-`~ \r\n", 1, "4.0.9"}, // 16 bytes, every trim character
        {"4.0.7", 0, "4.0.7"},
        {"4.1", 1, "4.1"},
    };
    for (const auto &c : cases) {
        service::SetVersion(c.body);
        char found[16] = "junk";
        EXPECT_EQ(c.result, NewVersion("4.0.8", found, sizeof found)) << c.body;
        EXPECT_STREQ(c.found, found);
    }
}

TEST_F(VersionCheck, NewVersionRefusesBodiesOutsideThreeToSixteenBytes)
{
    const std::string bodies[] = {"", "49", "4.0.9 and a lot..", std::string(64, '4')};
    for (const std::string &body : bodies) {
        service::SetVersion(body);
        char found[16];
        EXPECT_EQ(-1, NewVersion("4.0.8", found, sizeof found)) << body.size() << " bytes";
    }
    char small[4] = "";
    service::SetVersion("4.0.9");
    EXPECT_EQ(0, NewVersion("4.0.8", small, sizeof small)) << "cut to the buffer: 4.0 is not newer";
    EXPECT_STREQ("4.0", small);
}

TEST_F(VersionCheck, NewVersionWithoutAnAnswerIsMinusOne)
{
    char found[16];
    service::Listen(80, false);
    EXPECT_EQ(-1, NewVersion("4.0.8", found, sizeof found));
    service::Listen(80, true);
    service::Script("version", "", "close");
    EXPECT_EQ(-1, NewVersion("4.0.8", found, sizeof found));
}

TEST_F(VersionCheck, CheckVersionReportsToTheConfigurationUtilityAndTheIcon)
{
    EXPECT_EQ((Codes{"config 141"}), Check("4.0.8\r\n"));
    EXPECT_EQ((Codes{"config 142", "tray 142"}), Check("--4.0.9--"));
    EXPECT_EQ((Codes{"config 141"}), Check("4.0.7"));
    EXPECT_EQ((Codes{"config 142", "tray 142"}), Check(std::string(63, ' ').replace(0, 5, "4.1.0")))
        << "63 bytes are still read";
    EXPECT_EQ((Codes{}), Check(std::string(64, ' ').replace(0, 5, "4.1.0"), "", 1500)) << "64 bytes give no result";
    EXPECT_EQ((Codes{}), Check("4.1.0" + std::string(70000, ' '), "", 1500)) << "nor does a long body";
    EXPECT_EQ((Codes{}), Check("", "", 1500)) << "an empty body gives no result";
    // The page was fetched each time, with our user agent.
    std::string requests = service::Requests("/support/clients/talvex-updater-winv4-current-version.html");
    EXPECT_NE(std::string::npos, requests.find("Talvex-Client-Win32/4.0.8")) << requests;
}

TEST_F(VersionCheck, CheckVersionHonoursTheIgnoredVersion)
{
    EXPECT_EQ((Codes{"config 141"}), Check("4.0.9", "4.0.9"));
    EXPECT_EQ((Codes{"config 142", "tray 142"}), Check("4.0.9", "4.0.8"));
    EXPECT_EQ((Codes{"config 142", "tray 142"}), Check("4.0.9", ""));
    EXPECT_EQ((Codes{"config 141"}), Check("4.0.9", "4.1.0"));
}

TEST_F(VersionCheck, ASecondCheckWhileOneRunsDoesNothing)
{
    service::SetVersion("4.0.9");
    service::Script("version", "", "hang");
    CheckVersion();
    Pump(500, false);
    CheckVersion();
    CheckVersion();
    Pump(1000, false);
    EXPECT_EQ(1, service::CountRequests("/support/clients/talvex-updater-winv4-current-version.html"));
    EXPECT_EQ((Codes{}), Received());
}

TEST_F(VersionCheck, AFailedCheckEndsSoThatTheNextOneRuns)
{
    // The server is down: no result, but the check must not stay busy.
    service::Listen(80, false);
    CheckVersion();
    Pump(2000, false);
    EXPECT_EQ((Codes{}), Received());
    service::Listen(80, true);
    service::SetVersion("4.0.9");
    EXPECT_TRUE(ACheckRunsAgain()) << "still busy after a refused connection";
    EXPECT_EQ((Codes{"config 142", "tray 142"}), Received());

    // The connection is dropped before any answer.
    TestWindow::Clear();
    service::Script("version", "", "close");
    CheckVersion();
    Pump(2000, false);
    EXPECT_EQ((Codes{}), Received());
    service::SetVersion("4.0.8");
    EXPECT_TRUE(ACheckRunsAgain()) << "still busy after a dropped connection";
    EXPECT_EQ((Codes{"config 141"}), Received());
}

TEST_F(VersionCheck, ABodyCutOffInTheMiddleIsNoAnswer)
{
    // The server announces 15 bytes, sends "4.0.9  " and drops the connection.
    const std::string body = "4.0.9          ";
    char found[16];
    service::Script("version", body, "cut");
    EXPECT_EQ(-1, NewVersion("4.0.8", found, sizeof found)) << "a cut body was taken for the version";
    service::SetVersion("4.0.9");
    EXPECT_EQ(1, NewVersion("4.0.8", found, sizeof found)) << "the next check works";

    service::Script("version", body, "cut");
    CheckVersion();
    Pump(3000, false);
    EXPECT_EQ((Codes{}), Received()) << "the background check decided on a cut body";
    EXPECT_TRUE(ACheckRunsAgain());
}

TEST_F(VersionCheck, ABackgroundCheckAgainstASilentServerGivesUpAndTheNextOneRuns)
{
    service::Script("version", "", "hang");
    CheckVersion();
    // The exchange's time-outs (15 s for the response) end it well before
    // the silent server gives up on its own (120 s).
    Pump(18000, false);
    EXPECT_EQ((Codes{}), Received());
    service::SetVersion("4.0.9");
    EXPECT_TRUE(ACheckRunsAgain()) << "the check is still busy with the silent server";
    EXPECT_EQ((Codes{"config 142", "tray 142"}), Received());
}

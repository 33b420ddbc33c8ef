// The updaters against local programs that misbehave: another program
// holds both pipe names and never reads, or a window of the icon's class
// never answers. The hosts are kept current all the same.
#include "hostile.h"
#include "service_scenario.h"

#include "service_control.h"
#include "signals.h"
#include "tallib.h"

namespace {

const char kNewAddress[] = "198.51.100.23";

std::string Squat(const char *pipe) { return "squat " + OwnSessionPipe(pipe) + " 120"; }

// How many update requests reached the local service, waited for.
bool WaitForUpdates(int count, DWORD timeoutMs = 30000)
{
    DWORD start = GetTickCount();
    while (service::CountRequests("/nic/update") < count) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(100);
    }
    return true;
}

} // namespace

class HostilePrograms : public ServiceScenario {
protected:
    void SetUp() override
    {
        ServiceScenario::SetUp();
        WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
        SetConfig("App", "Authed", "1");
    }
    // Another program takes both pipe names; the test's own readers go.
    void SquatBothPipes()
    {
        trayPipe.reset();
        configPipe.reset();
        trayReader = std::make_unique<HostileProgram>(Squat(kTrayPipeName));
        configReader = std::make_unique<HostileProgram>(Squat(kConfigPipeName));
        ASSERT_TRUE(trayReader->ready() && configReader->ready());
    }
    void TearDown() override
    {
        trayReader.reset();
        configReader.reset();
        ServiceScenario::TearDown();
    }

    std::unique_ptr<HostileProgram> trayReader, configReader;
};

TEST_F(HostilePrograms, ReadersThatNeverReadStallNeitherTheProcessUpdaterNorItsForcedPass)
{
    SquatBothPipes();
    StartProcessUpdater();
    ASSERT_TRUE(WaitForUpdates(1)) << Log();

    // The address changes: the forced pass sends the update and returns.
    service::SetAddress(kNewAddress);
    Command((int)kCmdForcedPass);
    EXPECT_EQ(2, service::CountRequests("/nic/update")) << Log();
    EXPECT_EQ(kNewAddress, Config(kHomeHost, "IP"));
}

TEST_F(HostilePrograms, ReadersThatNeverReadStallNeitherTheServiceNorItsForcedPass)
{
    SquatBothPipes();
    StartService();
    ASSERT_TRUE(WaitForUpdates(1)) << Log();

    service::SetAddress(kNewAddress);
    ASSERT_EQ(0, Control(std::to_string(kCmdForcedPass)));
    ASSERT_TRUE(WaitForUpdates(2)) << Log();
    EXPECT_EQ(0, Control("stop"));
    EXPECT_TRUE(WaitForState(SERVICE_STOPPED));
    EXPECT_EQ(1, CountInLog("Updater: Service stopped.")) << Log();
}

TEST_F(HostilePrograms, AnIconWindowThatNeverAnswersHoldsUpNoPassAndIsLoggedOnce)
{
    HostileProgram hung(std::string("hang ") + kTrayClass + " " + Quoted(kTrayTitle) + " 120");
    ASSERT_TRUE(hung.ready());
    StartProcessUpdater();
    ASSERT_TRUE(WaitForUpdates(1)) << Log();
    service::SetAddress(kNewAddress);
    Command((int)kCmdForcedPass);
    EXPECT_EQ(2, service::CountRequests("/nic/update")) << Log();

    // What TalLib sends the icon has a limit: no answer, one record.
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(0, Alert(1));
    EXPECT_EQ(1, CountInLog("The window TALVEX_CONFIG_TRAY_ICON did not answer")) << Log();
}

// The update cycle itself, run in the test's process against the local
// Talvex service: result codes folded into status, interval and signals.
#include "scenario_support.h"

#include "service_control.h"
#include "config_keys.h"
#include "tallib.h"
#include "update_cycle.h"

class UpdateCycle : public UpdaterScenario {
protected:
    void SetUp() override
    {
        UpdaterScenario::SetUp();
        WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
        BuildEnginePaths(engine);
        LoadEngineSettings(engine);
    }
    // Forgets the host's stored address so the next pass sends a request.
    void PassWithRequest()
    {
        SetConfig(kHomeHost, "IP", NULL);
        RunUpdateCycle(engine, false);
    }
    EngineState engine;
};

TEST_F(UpdateCycle, WarningsDoubleTheIntervalUpToItsLimitAndSuccessResetsIt)
{
    EXPECT_EQ(configFile, engine.iniPath);
    EXPECT_STREQ("demo-pass", engine.password);
    service::Script("update", "nochg 203.0.113.7\n", "normal", -1);
    const unsigned expected[] = {20, 40, 80, 160, 160, 160};
    for (unsigned minutes : expected) {
        PassWithRequest();
        EXPECT_EQ(minutes, engine.intervalMinutes);
        EXPECT_EQ(kStatusWarning, engine.status);
    }
    EXPECT_EQ("1", Config("App", "Status"));

    service::Post("/control/script/clear");
    PassWithRequest();
    EXPECT_EQ(10u, engine.intervalMinutes);
    EXPECT_EQ(kStatusGood, engine.status);
    ASSERT_TRUE(trayPipe->WaitFor(14));
    EXPECT_EQ("2", trayPipe->Messages()[1]);
    EXPECT_EQ("1", trayPipe->Messages().back());
}

TEST_F(UpdateCycle, NochgOnAFreshConfigurationCountsAsSuccess)
{
    SetConfig("App", "Fresh", "1");
    LoadEngineSettings(engine);
    service::Script("update", "nochg 203.0.113.7\n");
    PassWithRequest();
    EXPECT_EQ(kStatusGood, engine.status);
    EXPECT_EQ(10u, engine.intervalMinutes);
    EXPECT_EQ("0", Config("App", "Fresh"));
    ASSERT_TRUE(trayPipe->WaitFor(2));
    EXPECT_EQ("1", trayPipe->Messages()[1]);
}

TEST_F(UpdateCycle, AddressFailuresAreLoggedOncePerRun)
{
    service::Listen(80, false);
    service::Listen(8245, false);
    for (int i = 0; i < 3; ++i)
        RunUpdateCycle(engine, false);
    EXPECT_EQ(1, CountInLog("Unable to determine WAN IP.  Can't update."));
    // Its cause follows it: nothing listens, so the connection was refused.
    std::string log = Log();
    size_t warning = log.find("Unable to determine WAN IP."), cause = log.find("Address check failed: WinHttp");
    EXPECT_TRUE(warning != std::string::npos && cause != std::string::npos && warning < cause) << log;
    EXPECT_EQ(1, CountInLog("Address check failed:"));
    EXPECT_EQ(0, service::CountRequests("/nic/update"));

    // A pass that gets past the account check re-arms the report.
    service::Listen(80, true);
    service::Listen(8245, true);
    RunUpdateCycle(engine, false);
    service::Listen(80, false);
    service::Listen(8245, false);
    RunUpdateCycle(engine, false);
    EXPECT_EQ(2, CountInLog("Unable to determine WAN IP.  Can't update."));
}

TEST_F(UpdateCycle, ShortCredentialsOrShortHostListSendNothing)
{
    WriteAccount("ab", kDemoPassword, {kHomeHost});
    LoadEngineSettings(engine);
    RunUpdateCycle(engine, false);
    WriteAccount(kDemoUser, kDemoPassword, {"a.b"});
    LoadEngineSettings(engine);
    RunUpdateCycle(engine, false);
    EXPECT_EQ(0, service::CountRequests("/nic/update"));
    ASSERT_TRUE(configPipe->WaitFor(2));
    EXPECT_EQ((std::vector<std::string>{"C", "C"}), configPipe->Messages());
}

// Ten hosts' records, the time and the status reach the file in one
// commit; an address the icon already has is not written again.
TEST_F(UpdateCycle, ATenHostPassReplacesTheFileOnce)
{
    std::vector<std::string> hosts;
    std::string reply;
    for (int i = 1; i <= 10; ++i) {
        hosts.push_back("h" + std::to_string(i) + ".talvex-demo.test");
        reply += "good 203.0.113.7\n";
    }
    WriteAccount(kDemoUser, kDemoPassword, hosts);
    SetConfig("App", "Proxy", "0");
    SetConfig("App", "LastIP", "203.0.113.7");
    service::Script("update", reply);
    CommitCounter commits(configFile);
    RunUpdateCycle(engine, false);
    EXPECT_EQ(1, service::CountRequests("/nic/update"));
    EXPECT_EQ(1, commits.Count());
    EXPECT_EQ("203.0.113.7", Config("h10.talvex-demo.test", "IP"));
    EXPECT_EQ("good", Config("h1.talvex-demo.test", "Status"));
    EXPECT_EQ("0", Config("App", "Status"));
}

TEST_F(UpdateCycle, FutureUpdateTimeCountsAsStale)
{
    RunUpdateCycle(engine, false);
    ASSERT_EQ(1, service::CountRequests("/nic/update"));
    SetConfig(kHomeHost, "Update", TimestampSecondsAgo(-3600).c_str());
    RunUpdateCycle(engine, false);
    EXPECT_EQ(2, service::CountRequests("/nic/update"));
}

TEST_F(UpdateCycle, EveryReplyAfterTheRequestWentOutIsJudgedAndNoneWithoutAWordIsASuccess)
{
    const char kMaintenance[] = "<html><title>Down for maintenance</title><body>Back soon</body></html>";
    struct {
        const char *reply, *mode, *trayCode;
        int httpStatus, status;
        const char *hostAddress, *hostStatus;
    } const cases[] = {
        {"good 203.0.113.7\r\n", "normal", "1", 200, kStatusGood, "203.0.113.7", "good"},
        {"nochg 203.0.113.7\r\n", "normal", "2", 200, kStatusWarning, "203.0.113.7", "nochg"}, // its new address
        {"dnserr\r\n", "normal", "3", 200, kStatusWarning, "", "dnserr"},
        {"abuse\r\n", "normal", "10", 200, kStatusCritical, "", "abuse"},
        {"nohost", "normal", "9", 200, kStatusCritical, "", "nohost"}, // a bare word is the host's answer
        {"911", "normal", "4", 200, kStatusWarning, "", "911"},       // a known word, however short
        // No answer word: backed off as from "911", nothing recorded.
        {kMaintenance, "normal", "4", 503, kStatusWarning, "", ""},
        {"", "normal", "4", 503, kStatusWarning, "", ""},
        {"", "close", "4", 200, kStatusWarning, "", ""},                 // closed after the request
        {"good 203.0.113.7\n", "cut", "4", 200, kStatusWarning, "", ""}, // broken off mid-answer
    };
    size_t messages = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.reply);
        for (const char *key : {"IP", "Update", "Status"})
            SetConfig(kHomeHost, key, NULL);
        engine.intervalMinutes = 10;
        service::Script("update", c.reply, c.mode, 1, c.httpStatus);
        PassOutcome outcome = RunUpdateCycle(engine, false);
        // What the host does next: the cycle itself stops nothing.
        EXPECT_EQ(c.status == kStatusCritical  ? PassOutcome::Stop
                  : c.status == kStatusWarning ? PassOutcome::BackOff
                                               : PassOutcome::Continue,
                  outcome);
        ASSERT_TRUE(trayPipe->WaitFor(messages += 2));
        EXPECT_EQ(c.trayCode, trayPipe->Messages().back());
        EXPECT_EQ(c.status, engine.status);
        EXPECT_EQ(c.status == kStatusWarning ? 20u : 10u, engine.intervalMinutes);
        EXPECT_EQ(c.hostAddress, Config(kHomeHost, "IP"));
        EXPECT_EQ(c.hostStatus, Config(kHomeHost, "Status"));
    }
    EXPECT_EQ("", Config(kHomeHost, "Update"));
    EXPECT_EQ(1, CountInLog(std::string("HTTP 503 without an answer word: \"") + kMaintenance + "\".  Increasing"));
    EXPECT_EQ(1, CountInLog("HTTP 503 without an answer word: \"\".  Increasing")) << Log();
    EXPECT_EQ(1, CountInLog("Update server sent no answer: WinHttpReceiveResponse failed")) << Log();
    EXPECT_EQ(1, CountInLog("and broke off the answer after \"good 203\"")) << Log();
    EXPECT_EQ(10, CountInLog("DNS update issued: "));
}

TEST_F(UpdateCycle, AChangedHostAnsweredGoodBesideARefreshAnsweredNochgIsASuccess)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
    RunUpdateCycle(engine, false);
    ASSERT_EQ("203.0.113.7", Config(kOfficeHost, "IP"));
    SetConfig(kHomeHost, "IP", "203.0.113.1");
    SetConfig(kOfficeHost, "Update", TimestampSecondsAgo(61 * 3600).c_str());
    service::Script("update", "good 203.0.113.7\nnochg 203.0.113.7\n");
    RunUpdateCycle(engine, false);
    EXPECT_EQ(2, service::CountRequests("/nic/update"));
    EXPECT_EQ(kStatusGood, engine.status);
    EXPECT_EQ(10u, engine.intervalMinutes);

    // One of two hosts answered: it is recorded, the other is said, a warning.
    SetConfig(kHomeHost, "IP", "203.0.113.1");
    SetConfig(kOfficeHost, "IP", "203.0.113.1");
    service::Script("update", "good 203.0.113.7\n");
    RunUpdateCycle(engine, false);
    EXPECT_EQ(kStatusWarning, engine.status);
    EXPECT_EQ("203.0.113.7", Config(kHomeHost, "IP"));
    EXPECT_EQ("203.0.113.1", Config(kOfficeHost, "IP"));
    EXPECT_EQ(1, CountInLog("office.talvex-demo.test: no answer - The update server did not answer for this host."));
}

// The updater service, TalUpSvc, started and commanded through the real
// controller against the local Talvex service: its passes, its wake-ups,
// its stop, and that no two passes ever overlap.
#include "service_scenario.h"

#include "service_control.h"
#include "signals.h"
#include "tallib.h"

namespace {

// A control request must come back at once even while a pass runs.
const DWORD kPromptMs = 5000;
// What the local service reports while a test settles the service thread
// with an address check: told apart from the address a pass found.
const char kSettledAddress[] = "198.51.100.23";

} // namespace

class ServiceUpdater : public ServiceScenario {
protected:
    void SignedIn(const std::string &user, const std::string &password, const std::vector<std::string> &hosts)
    {
        WriteAccount(user, password, hosts);
        SetConfig("App", "Authed", "1");
    }
};

TEST_F(ServiceUpdater, StartedByTheControllerItUpdatesEverySelectedHostAndStopsOnRequest)
{
    SignedIn(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
    StartService();
    ASSERT_TRUE(WaitForPasses(1)) << Log();

    std::string updates = service::Requests("/nic/update");
    EXPECT_EQ(1, service::CountRequests("/nic/update"));
    EXPECT_EQ(1, CountOccurrences(updates, "\"hostname\": \"home.talvex-demo.test,office.talvex-demo.test\"")) << updates;
    EXPECT_EQ(1, CountOccurrences(updates, "\"myip\": \"203.0.113.7\""));
    for (const char *host : {kHomeHost, kOfficeHost}) {
        EXPECT_EQ("203.0.113.7", Config(host, "IP"));
        EXPECT_EQ("good", Config(host, "Status"));
    }
    EXPECT_EQ("0", Config("App", "Status"));
    EXPECT_EQ(19u, Config("App", "LastUpdate").size());
    ASSERT_TRUE(trayPipe->WaitFor(2));
    EXPECT_EQ((std::vector<std::string>{"D203.0.113.7", "1"}), trayPipe->Messages());

    EXPECT_EQ(0, Control("stop"));
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED));
    std::string log = Log();
    EXPECT_EQ(1, CountInLog("Updater: Service started."));
    EXPECT_EQ(1, CountInLog("Updater: Service stopped."));
    EXPECT_LT(log.find("Updater: Service started."), log.find("office.talvex-demo.test: good")) << log;
    EXPECT_LT(log.find("office.talvex-demo.test: good"), log.find("Updater: Service stopped.")) << log;
    EXPECT_EQ(1, service::CountRequests("/nic/update")) << "a pass ran on the way out";
}

TEST_F(ServiceUpdater, TimedPassesNeedASignedInAccountAndWakeUpsRunOneOnceAllowed)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    SetConfig("App", "Authed", "0");
    StartService();
    EXPECT_EQ(0, Control("131")); // woken, but still not signed in
    ASSERT_TRUE(SettleWithAddressCheck(kSettledAddress)) << Log();
    EXPECT_EQ(0u, PassesDone());
    EXPECT_EQ(0, service::CountRequests("/nic/update"));
    EXPECT_EQ(2, service::CountRequests("/")) << "only the settling check's proxy probe asked for the address";

    SetConfig("App", "Authed", "1");
    EXPECT_EQ(0, Control("131"));
    ASSERT_TRUE(WaitForPasses(1)) << Log();
    EXPECT_EQ("good", Config(kHomeHost, "Status"));
}

// One rule for a usable account (TalLib's Account_IsUsable): a user name of
// 3 characters gets timed passes like any other, as it always got them
// from the cycle itself and from the process updater.
TEST_F(ServiceUpdater, AThreeCharacterUserNameGetsTimedPassesLikeAnyAccount)
{
    service::Post("/control/accounts",
                  "{\"accounts\": {\"abc\": {\"password\": \"abc-pass\", "
                  "\"hosts\": [{\"name\": \"abc.talvex-demo.test\"}]}}}");
    SignedIn("abc", "abc-pass", {"abc.talvex-demo.test"});
    StartService();
    ASSERT_TRUE(WaitForPasses(1)) << Log();
    EXPECT_EQ("good", Config("abc.talvex-demo.test", "Status"));
    EXPECT_EQ(1, service::CountRequests("/nic/update"));
    EXPECT_EQ(ServiceState(), (DWORD)SERVICE_RUNNING);
}

// Commands 131 sent while a slow pass runs (the utility saved twice) make
// one pass right after it, not the next timed one ten minutes later: here
// it sends the address that changed after the slow pass had read its own.
TEST_F(ServiceUpdater, AWakeUpDuringAPassRunsOnePassAfterItAndOneWhileIdleRunsAtOnce)
{
    SignedIn(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
    HoldPassAtProxyProbe();
    StartService();
    ASSERT_TRUE(WaitUntilPassIsHeld());

    service::SetAddress("203.0.113.9");
    EXPECT_LT(Timed([&] { EXPECT_EQ(0, Control("131")); }), kPromptMs);
    EXPECT_LT(Timed([&] { EXPECT_EQ(0, Control("131")); }), kPromptMs) << "the second wake-up waited for the pass";
    EXPECT_LT(Timed([&] { EXPECT_EQ(0, Control("4")); }), kPromptMs) << "interrogate waited for the pass";
    ReleasePass();
    ASSERT_TRUE(WaitForPasses(2)) << Log();
    ASSERT_TRUE(SettleWithAddressCheck(kSettledAddress)) << Log();
    EXPECT_EQ(2u, PassesDone()) << "two wake-ups during one pass make one pass after it";
    std::string updates = service::Requests("/nic/update");
    EXPECT_EQ(2, service::CountRequests("/nic/update")) << updates;
    EXPECT_EQ(1, CountOccurrences(updates, "\"myip\": \"203.0.113.7\"")) << updates;
    EXPECT_EQ(1, CountOccurrences(updates, "\"myip\": \"203.0.113.9\"")) << updates;
    EXPECT_EQ("203.0.113.9", Config(kOfficeHost, "IP"));

    service::SetAddress("203.0.113.9"); // the address the hosts hold
    EXPECT_EQ(0, Control("131"));
    ASSERT_TRUE(WaitForPasses(3)) << Log();
    EXPECT_EQ(2, service::CountRequests("/nic/update")) << "nothing changed, nothing is sent";
}

TEST_F(ServiceUpdater, StopDuringAPassIsReportedAtOnceAndTakesEffectWhenThePassHasRecordedItsAnswers)
{
    SignedIn(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
    HoldPassAtProxyProbe();
    StartService();
    ASSERT_TRUE(WaitUntilPassIsHeld());

    EXPECT_LT(Timed([&] { EXPECT_EQ(0, Control("stop")); }), kPromptMs);
    SERVICE_STATUS status = QueryStatus();
    EXPECT_EQ((DWORD)SERVICE_STOP_PENDING, status.dwCurrentState);
    EXPECT_GE(status.dwWaitHint, 60000u) << "a controller waiting for the stop would give up during the pass";
    EXPECT_EQ(0, CountInLog("Updater: Service stopped."));

    ReleasePass();
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED));
    for (const char *host : {kHomeHost, kOfficeHost})
        EXPECT_EQ("good", Config(host, "Status"));
    EXPECT_EQ(19u, Config("App", "LastUpdate").size());
    std::string log = Log();
    EXPECT_EQ(1, CountInLog("Updater: Service stopped."));
    EXPECT_LT(log.find("office.talvex-demo.test: good"), log.find("Updater: Service stopped.")) << log;
    EXPECT_EQ(1u, PassesDone());
}

TEST_F(ServiceUpdater, ForcedPassAskedForDuringATimedPassRunsAfterIt)
{
    SignedIn(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
    HoldPassAtProxyProbe();
    StartService();
    ASSERT_TRUE(WaitUntilPassIsHeld());

    // The dispatcher does not wait for the running pass.
    EXPECT_LT(Timed([&] { EXPECT_EQ(0, Control("130")); }), kPromptMs);
    EXPECT_LT(Timed([&] { EXPECT_EQ(0, Control("129")); }), kPromptMs);
    EXPECT_LT(Timed([&] { EXPECT_EQ(0, Control("135")); }), kPromptMs);
    ReleasePass();
    ASSERT_TRUE(WaitForPasses(2)) << Log();

    // In the request log, the forced pass's address check (and the one of
    // command 129) come after the first pass's update request; before it
    // only the held pass's probe asked for the address (and, unanswered, it is made again).
    std::string requests = service::Requests();
    size_t update = requests.find("\"path\": \"/nic/update\"");
    ASSERT_NE(std::string::npos, update) << requests;
    EXPECT_EQ(2, CountOccurrences(requests.substr(0, update), "\"path\": \"/\""))
        << "an address check ran beside the held pass: " << requests;
    EXPECT_EQ(3, CountOccurrences(requests.substr(update), "\"path\": \"/\"")) << requests;
    EXPECT_EQ(1, service::CountRequests("/nic/update"));
    EXPECT_EQ("0", Config("App", "Status")) << "status commands act on memory only";
}

TEST_F(ServiceUpdater, RefusedAccountStopsTheServiceFromInside)
{
    // The service's own account may not run the elevated controller: a
    // fatal result stops the service as a stop control would.
    SignedIn(kDemoUser, "not-the-password", {kHomeHost, kOfficeHost});
    StartService();
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED)) << Log();
    EXPECT_EQ("2", Config("App", "Status"));
    EXPECT_EQ(1, CountInLog("badauth - Authentication failed."));
    EXPECT_EQ(1, CountInLog("Updater: Service stopped."));
    EXPECT_EQ("", Config(kHomeHost, "IP"));
    ASSERT_TRUE(trayPipe->WaitFor(2));
    EXPECT_EQ("11", trayPipe->Messages()[1]);
}

TEST_F(ServiceUpdater, AStoredCriticalStatusHoldsTheTimedPassesUntilTheConfigurationIsSavedAgain)
{
    SignedIn(kDemoUser, kDemoPassword, {kHomeHost});
    SetConfig("App", "Status", "2"); // the server refused the account before
    StartService();
    ASSERT_TRUE(SettleWithAddressCheck(kSettledAddress)) << Log();
    EXPECT_EQ(0, service::CountRequests("/nic/update"));
    EXPECT_EQ(0, Control("131")); // the utility saved the corrected account
    ASSERT_TRUE(WaitForPasses(1)) << Log();
    EXPECT_EQ("0", Config("App", "Status"));
}

TEST_F(ServiceUpdater, AFailedFirstAddressCheckIsRetriedWithinHalfAMinute)
{
    SignedIn(kDemoUser, kDemoPassword, {kHomeHost});
    service::Listen(80, false); // the network is not up yet
    service::Listen(8245, false);
    StartService();
    ASSERT_TRUE(trayPipe->WaitFor(1)) << Log(); // the utility's pipe may drop a "C" right after "A"s
    DWORD failedAt = GetTickCount();
    EXPECT_EQ("", Config("App", "Proxy")) << "a probe that no port answered decided the proxy mode";
    service::Listen(80, true);
    service::Listen(8245, true);
    ASSERT_TRUE(trayPipe->WaitFor(3, 45000)) << Log();
    EXPECT_GE(GetTickCount() - failedAt, 25000u);
    EXPECT_EQ((std::vector<std::string>{"D", "D203.0.113.7", "1"}), trayPipe->Messages());
    EXPECT_EQ("0", Config("App", "Proxy"));
}

TEST_F(ServiceUpdater, A911AnswerBacksTheServiceOffInsteadOfRetryingSoon)
{
    SignedIn(kDemoUser, kDemoPassword, {kHomeHost});
    service::Script("update", "911\r\n");
    StartService();
    ASSERT_TRUE(trayPipe->WaitFor(2)) << Log();
    EXPECT_EQ("4", trayPipe->Messages()[1]);
    Sleep(35000); // past the first quick retry: the doubled interval applies (PassTiming)
    EXPECT_EQ(2u, trayPipe->Messages().size());
    EXPECT_EQ(1, service::CountRequests("/nic/update"));
}

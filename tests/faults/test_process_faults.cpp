// The user-process updater, TalUpPs, against a service that answers badly.
// Every scenario ends the same way: the process is alive, nothing was
// recorded as an update, and the next normal pass works.
#include "scenario_support.h"

#include "service_control.h"
#include "signals.h"
#include "tallib.h"

#include <string>

namespace {

const char kFirstAddress[] = "203.0.113.7";
const char kNewAddress[] = "203.0.113.8";

struct BadAnswer {
    const char *story;
    const char *endpoint;
    std::string body; // served `repeat` times over, in one answer
    const char *mode;
    int repeat = 1;
};

} // namespace

class ProcessFaults : public UpdaterScenario {
protected:
    // Both hosts recorded at the first address by a first, normal pass.
    void StartRecorded()
    {
        WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
        StartProcessUpdater();
        ASSERT_EQ(kFirstAddress, Config(kHomeHost, "IP"));
        homeUpdate = Config(kHomeHost, "Update");
    }

    // The address changed, so the next pass wants to send an update; the
    // endpoint answers badly (every time during that pass).
    void PassAgainst(const BadAnswer &bad)
    {
        service::SetAddress(kNewAddress);
        // Large answers are made by the service: the body, repeated.
        std::string reply = service::Post(
            "/control/script", "{\"endpoint\": " + service::Quote(bad.endpoint) + ", \"body\": " +
                                   service::Quote(bad.body) + ", \"mode\": " + service::Quote(bad.mode) +
                                   ", \"repeat\": " + std::to_string(bad.repeat) + ", \"times\": -1}");
        ASSERT_NE(std::string::npos, reply.find("\"ok\": true")) << reply;
        Command(kCmdReloadAndPass); // returns when the pass is over
        service::Post("/control/script/clear", "{}");
    }

    void ExpectAliveAndNothingRecorded(const char *story)
    {
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(updater.hProcess, 0)) << story << ": the updater ended";
        EXPECT_NE((HWND)NULL, FindWindowExA(NULL, NULL, kUpdaterClass, NULL)) << story;
        for (const char *host : {kHomeHost, kOfficeHost})
            EXPECT_EQ(kFirstAddress, Config(host, "IP")) << story << ": recorded as an update of " << host;
        EXPECT_EQ(homeUpdate, Config(kHomeHost, "Update")) << story;
    }

    void ExpectNextPassWorks(const char *story)
    {
        Command(kCmdReloadAndPass);
        for (const char *host : {kHomeHost, kOfficeHost}) {
            EXPECT_EQ(kNewAddress, Config(host, "IP")) << story << ": the next pass did not update " << host;
            EXPECT_EQ("good", Config(host, "Status")) << story;
        }
    }

    // The next scenario in a fresh data folder, with a fresh updater.
    void Restart()
    {
        TearDown();
        updater = {};
        SetUp();
    }

    std::string homeUpdate;
};

TEST_F(ProcessFaults, MalformedUpdateRepliesAreNotRecordedAsUpdates)
{
    const BadAnswer answers[] = {
        {"a reply of 400 KB", "update", "z", "normal", 400 * 1024},
        {"control bytes, brackets and =", "update", "\x01\x02[=]\x7f\x1b[31m==\r\n[]\t=\n", "normal"},
        {"an empty reply", "update", "", "normal"},
    };
    for (const BadAnswer &bad : answers) {
        SCOPED_TRACE(bad.story);
        StartRecorded();
        PassAgainst(bad);
        ExpectAliveAndNothingRecorded(bad.story);
        ExpectNextPassWorks(bad.story);
        Restart();
    }
}

TEST_F(ProcessFaults, BadAddressPagesSendNothing)
{
    const BadAnswer answers[] = {
        {"an address page of a megabyte", "checkip", "<html>A", "normal", 150000},
    };
    for (const BadAnswer &bad : answers) {
        SCOPED_TRACE(bad.story);
        StartRecorded();
        PassAgainst(bad);
        EXPECT_EQ(1, service::CountRequests("/nic/update")) << bad.story << ": only the first pass sent";
        ExpectAliveAndNothingRecorded(bad.story);
        ExpectNextPassWorks(bad.story);
        Restart();
    }
}

TEST_F(ProcessFaults, MarkupAfterTheAddressIsNotSentAlong)
{
    StartRecorded();
    PassAgainst({"markup after the address", "checkip", "<html><body>Current IP Address: 203.0.113.8<b></body></html>",
                 "normal"});
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(updater.hProcess, 0));
    EXPECT_EQ(kNewAddress, Config(kHomeHost, "IP"));
    std::string updates = service::Requests("/nic/update");
    EXPECT_NE(std::string::npos, updates.find("\"myip\": \"203.0.113.8\"")) << updates;
    EXPECT_EQ(std::string::npos, updates.find("<b>")) << updates;
}

TEST_F(ProcessFaults, ASilentUpdateServerIsGivenUpWithinTheTimeOuts)
{
    StartRecorded();
    DWORD start = GetTickCount();
    PassAgainst({"a silent update server", "update", "", "hang"});
    // The response time-out is 15 s; the silent server would wait 120 s.
    EXPECT_LT(GetTickCount() - start, 40000u);
    ExpectAliveAndNothingRecorded("silent");
    ExpectNextPassWorks("silent");
}

TEST_F(ProcessFaults, AnUntrustedCertificateIsRefusedBeforeAnythingIsSent)
{
    StartRecorded();
    // The update server now shows a certificate from an authority this
    // machine does not trust.
    service::Post("/control/tls", "{\"trusted\": false}");
    service::SetAddress(kNewAddress);
    Command(kCmdReloadAndPass);
    ExpectAliveAndNothingRecorded("untrusted");
    EXPECT_EQ(1, service::CountRequests("/nic/update")) << "a request, and its credentials, reached the server";
    EXPECT_EQ(1, CountInLog("Unable to reach the update server.")) << Log();

    service::Post("/control/tls", "{\"trusted\": true}");
    ExpectNextPassWorks("untrusted");
}

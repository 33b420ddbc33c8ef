// The user-process updater, TalUpPs, against the local Talvex service: what
// the user and the service see after each pass.
#include "scenario_support.h"

#include "held_lock_byte.h"
#include "service_control.h"
#include "signals.h"
#include "tallib.h"

#include <algorithm>
#include <thread>

namespace {

const char kBothHosts[] = "\"hostname\": \"home.talvex-demo.test,office.talvex-demo.test\"";

} // namespace

class ProcessUpdater : public UpdaterScenario {
protected:
    // TalUpPs keeping one host, after its first pass; its hidden window.
    HWND StartWithOneHost()
    {
        WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
        StartProcessUpdater();
        EXPECT_EQ(1, service::CountRequests("/nic/update"));
        return FindWindowExA(HWND_MESSAGE, NULL, kUpdaterClass, NULL);
    }
    // Until the host's recorded address is `address`, for at most `seconds`.
    bool HomeAddressBecomes(const char *address, int seconds)
    {
        for (int tenths = 0; tenths < 10 * seconds; ++tenths) {
            if (Config(kHomeHost, "IP") == address)
                return true;
            Sleep(100);
        }
        return Config(kHomeHost, "IP") == address;
    }
};

TEST_F(ProcessUpdater, FirstPassUpdatesEverySelectedHostInOneRequest)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
    StartProcessUpdater();

    std::string updates = service::Requests("/nic/update");
    EXPECT_EQ(1, service::CountRequests("/nic/update"));
    EXPECT_EQ(1, CountOccurrences(updates, kBothHosts)) << updates;
    EXPECT_EQ(1, CountOccurrences(updates, "\"myip\": \"203.0.113.7\""));
    EXPECT_EQ(1, CountOccurrences(updates, "\"User-Agent\": \"Talvex-Client-Win32/4.0.8\""));

    for (const char *host : {kHomeHost, kOfficeHost}) {
        EXPECT_EQ("203.0.113.7", Config(host, "IP"));
        EXPECT_EQ("good", Config(host, "Status"));
        EXPECT_EQ(19u, Config(host, "Update").size());
    }
    EXPECT_EQ("0", Config("App", "Status"));
    EXPECT_EQ("0", Config("App", "Proxy"));
    EXPECT_EQ(19u, Config("App", "LastUpdate").size());

    std::string log = Log();
    EXPECT_NE(std::string::npos,
              log.find("DNS update issued: User: demo, Hosts: home.talvex-demo.test,office.talvex-demo.test, "
                       "IP: 203.0.113.7"))
        << log;
    EXPECT_EQ(1, CountInLog("home.talvex-demo.test: good - Host updated."));
    EXPECT_LT(log.find("office.talvex-demo.test: good"), log.find("Updater: Process started."));

    // The tray hears the address, then the result; the configuration
    // utility hears the end of the pass.
    ASSERT_TRUE(trayPipe->WaitFor(2));
    EXPECT_EQ((std::vector<std::string>{"D203.0.113.7", "1"}), trayPipe->Messages());
    // "C" ends the pass; "A" follows for the start-up record logged after it.
    ASSERT_TRUE(configPipe->WaitFor(2));
    EXPECT_EQ((std::vector<std::string>{"C", "A"}), configPipe->Messages());
}

TEST_F(ProcessUpdater, ChangedAddressIsLoggedAndSentOnceAndNothingIsSentWhenNothingChanged)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
    StartProcessUpdater();
    ASSERT_EQ(1, service::CountRequests("/nic/update"));

    Command(kCmdReloadAndPass); // nothing changed, nothing is 60 hours old
    EXPECT_EQ(1, service::CountRequests("/nic/update"));

    service::SetAddress("203.0.113.8");
    Command(kCmdReloadAndPass);
    EXPECT_EQ(2, service::CountRequests("/nic/update"));
    EXPECT_EQ(2, CountInLog("IP Changed from [203.0.113.7] to [203.0.113.8]")) << Log();
    EXPECT_EQ("203.0.113.8", Config(kOfficeHost, "IP"));
    std::string updates = service::Requests("/nic/update");
    EXPECT_EQ(1, CountOccurrences(updates, "\"myip\": \"203.0.113.8\""));
}

TEST_F(ProcessUpdater, HostSixtyHoursOldIsRefreshedAlone)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
    StartProcessUpdater();
    SetConfig(kOfficeHost, "Update", TimestampSecondsAgo(60 * 3600 + 120).c_str());
    SetConfig(kHomeHost, "Update", TimestampSecondsAgo(60 * 3600 - 120).c_str());

    Command(kCmdReloadAndPass);
    std::string updates = service::Requests("/nic/update");
    EXPECT_EQ(2, service::CountRequests("/nic/update"));
    EXPECT_EQ(1, CountOccurrences(updates, "\"hostname\": \"office.talvex-demo.test\"")) << updates;
    EXPECT_EQ("nochg", Config(kOfficeHost, "Status"));
    // The expected answer to a refresh of an unchanged address: a success.
    EXPECT_EQ("0", Config("App", "Status"));
    ASSERT_TRUE(trayPipe->WaitFor(4));
    EXPECT_EQ("1", trayPipe->Messages().back());
}

TEST_F(ProcessUpdater, CommandReloadsTheAccountBeforeItsPass)
{
    WriteAccount(kDemoUser, "wrong", {kHomeHost});
    SetConfig("App", "Status", "3"); // not configured: the timer runs no pass
    StartProcessUpdater();
    EXPECT_EQ(0, service::CountRequests("/nic/update"));

    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
    Command(kCmdReloadAndPass);
    std::string updates = service::Requests("/nic/update");
    EXPECT_EQ(1, CountOccurrences(updates, kBothHosts)) << updates;
    EXPECT_EQ("good", Config(kHomeHost, "Status"));
}

// Two hosts sent; the second host's line is not an answer the updater
// knows. The first is recorded, the second is said in the log and sent
// again by the next pass, and the pass backs off as for "911".
TEST_F(ProcessUpdater, AHostWhoseAnswerIsNotUnderstoodIsSaidAndSentAgain)
{
    const struct {
        const char *story;
        const char *reply;
        const char *record;
    } cases[] = {
        {"a word outside the protocol", "good 198.51.100.72\nbadsys\n",
         "office.talvex-demo.test: not understood - The update server answered \"badsys\".  Increasing timeout rate."},
        {"a reply cut mid-word", "good 198.51.100.72\ngoo",
         "office.talvex-demo.test: not understood - The update server's answer broke off at \"goo\".  Increasing "
         "timeout rate."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.story);
        WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
        service::Script("update", c.reply);
        StartProcessUpdater();

        EXPECT_EQ("203.0.113.7", Config(kHomeHost, "IP"));
        EXPECT_EQ("good", Config(kHomeHost, "Status"));
        for (const char *key : {"IP", "Update", "Status"})
            EXPECT_EQ("", Config(kOfficeHost, key)) << key;
        EXPECT_EQ("1", Config("App", "Status"));
        EXPECT_EQ(1, CountInLog(c.record)) << Log();
        ASSERT_TRUE(trayPipe->WaitFor(2));
        EXPECT_EQ("4", trayPipe->Messages()[1]) << "backed off as from \"911\"";

        // The next pass sends the host not understood, and only it.
        Command(kCmdReloadAndPass);
        std::string updates = service::Requests("/nic/update");
        EXPECT_EQ(2, service::CountRequests("/nic/update"));
        EXPECT_EQ(1, CountOccurrences(updates, "\"hostname\": \"office.talvex-demo.test\"")) << updates;
        EXPECT_EQ("good", Config(kOfficeHost, "Status"));
        EXPECT_EQ("0", Config("App", "Status"));

        // The next story with a fresh data folder and updater.
        TearDown();
        updater = {};
        SetUp();
    }
}

TEST_F(ProcessUpdater, RefusedAccountStopsTheUpdater)
{
    WriteAccount(kDemoUser, "not-the-password", {kHomeHost, kOfficeHost});
    StartProcessUpdater();
    EXPECT_TRUE(WaitForExit(20000)) << "TalUpPs still runs after badauth";
    EXPECT_EQ("2", Config("App", "Status"));
    EXPECT_EQ(1, CountInLog("badauth - Authentication failed."));
    EXPECT_EQ(1, CountInLog("Updater: Process stopped."));
    EXPECT_EQ("", Config(kHomeHost, "IP"));
    ASSERT_TRUE(trayPipe->WaitFor(2));
    EXPECT_EQ("11", trayPipe->Messages()[1]);
}

TEST_F(ProcessUpdater, TransparentProxyIsDetectedOnceAndTheAlternatePortUsedThen)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    service::SetProxy(true, "198.51.100.77");
    StartProcessUpdater();
    EXPECT_EQ("1", Config("App", "Proxy"));
    EXPECT_EQ("203.0.113.7", Config(kHomeHost, "IP"));
    std::string checks = service::Requests("/");
    EXPECT_EQ(1, CountOccurrences(checks, "\"port\": 80,"));
    EXPECT_EQ(1, CountOccurrences(checks, "\"port\": 8245,"));

    Command(kCmdReloadAndPass);
    Command(kCmdCheckAddress);
    checks = service::Requests("/");
    EXPECT_EQ(1, CountOccurrences(checks, "\"port\": 80,")) << "the probe ran again";
    EXPECT_EQ(3, CountOccurrences(checks, "\"port\": 8245,"));
}

TEST_F(ProcessUpdater, UnreachableUpdateServerIsNotRecordedAsAnUpdate)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    SetConfig("App", "Status", "1");
    SetConfig("App", "Active", "1");
    SetConfig("App", "Authed", "1");
    service::Listen(443, false);
    StartProcessUpdater();

    EXPECT_EQ("", Config("App", "LastUpdate"));
    EXPECT_EQ("1", Config("App", "Status"));
    EXPECT_EQ("", Config(kHomeHost, "Update"));
    EXPECT_EQ(1, CountInLog("Unable to reach the update server."));
    // The record before it says which step failed, for the user and for support.
    EXPECT_EQ(1, CountInLog("Update request not sent: WinHttpSendRequest failed with Windows error 12029 (A connection "
                            "with the server could not be established)."));
    ASSERT_TRUE(configPipe->WaitFor(1));
    ASSERT_TRUE(trayPipe->WaitFor(1));
    EXPECT_EQ((std::vector<std::string>{"D203.0.113.7"}), trayPipe->Messages());

    // The next pass reaches the server again and records the update.
    service::Listen(443, true);
    Command(kCmdReloadAndPass);
    EXPECT_EQ("good", Config(kHomeHost, "Status"));
    EXPECT_EQ("0", Config("App", "Status"));
}

TEST_F(ProcessUpdater, HostNamesAreEncodedInTheRequest)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, "bad&myip=1.1.1.1#x"});
    StartProcessUpdater();
    std::string updates = service::Requests("/nic/update");
    EXPECT_EQ(1, CountOccurrences(updates, "\"hostname\": \"home.talvex-demo.test,bad&myip=1.1.1.1#x\"")) << updates;
    EXPECT_EQ(1, CountOccurrences(updates, "\"myip\": \"203.0.113.7\""));
    // The service refuses the odd name: a fatal answer stops the updater.
    EXPECT_TRUE(WaitForExit(20000));
    EXPECT_EQ("2", Config("App", "Status"));
    EXPECT_EQ("good", Config(kHomeHost, "Status"));
}

TEST_F(ProcessUpdater, SecondInstanceEndsAtOnce)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    StartProcessUpdater();
    EXPECT_EQ(0, RunProgram(Quoted(ExeFolder() + "TalUpPs.exe"), 20000));
    EXPECT_EQ(1, CountInLog("Updater: Process started."));
    EXPECT_EQ(1, service::CountRequests("/nic/update"));
    // Turned away by the account's lock, which no other account can hold.
    EXPECT_EQ(1, CountInLog("Updater: Another updater process runs on this computer; this one ends."));
}

TEST_F(ProcessUpdater, TimerTickRunsAPassOnlyWhenTheStatusAllows)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    StartProcessUpdater();
    HWND window = FindWindowExA(NULL, NULL, kUpdaterClass, NULL);
    ASSERT_NE((HWND)NULL, window);
    int checks = service::CountRequests("/");

    Command(kCmdStatusCritical); // in memory only
    SendMessageA(window, WM_TIMER, 0, 0);
    EXPECT_EQ(checks, service::CountRequests("/"));
    EXPECT_EQ("0", Config("App", "Status"));

    Command(kCmdReloadSettings); // the stored status comes back
    SendMessageA(window, WM_TIMER, 0, 0);
    EXPECT_EQ(checks + 1, service::CountRequests("/"));
}

TEST_F(ProcessUpdater, RecordsThatCannotBeWrittenAreSaidKeptAndWrittenByTheNextPass)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
    StartProcessUpdater();
    const std::string journal = configFile + ".journal";

    // Another program (a virus scanner, a backup) holds the journal for a
    // moment during a pass: the pass waits for it and writes.
    service::SetAddress("203.0.113.8");
    HANDLE held = CreateFileA(journal.c_str(), GENERIC_READ, 0, NULL, OPEN_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    std::thread release([held] {
        Sleep(1500);
        CloseHandle(held);
    });
    Command(kCmdReloadAndPass);
    release.join();
    EXPECT_EQ("203.0.113.8", Config(kHomeHost, "IP"));
    EXPECT_EQ(0, CountInLog("Unable to save the configuration")) << Log();

    // Held through the whole pass: said once, kept, and written by the next.
    service::SetAddress("203.0.113.9");
    held = CreateFileA(journal.c_str(), GENERIC_READ, 0, NULL, OPEN_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Command(kCmdReloadAndPass);
    CloseHandle(held);
    EXPECT_EQ(3, service::CountRequests("/nic/update"));
    EXPECT_EQ("203.0.113.8", Config(kHomeHost, "IP"));
    EXPECT_EQ(1, CountInLog("Unable to save the configuration: Windows error 32")) << Log();

    Command(kCmdReloadAndPass); // nothing to send: the kept records are written
    EXPECT_EQ(3, service::CountRequests("/nic/update"));
    for (const char *host : {kHomeHost, kOfficeHost})
        EXPECT_EQ("203.0.113.9", Config(host, "IP"));
    EXPECT_EQ(1, CountInLog("The configuration is saved again")) << Log();
}

// Another program holds the configuration (readable, not writable) across
// two passes: the first is accepted and cannot be saved, the second reads
// what the updater keeps and sends nothing again; once the file is free,
// the next pass writes the records.
TEST_F(ProcessUpdater, AConfigurationHeldAcrossTwoPassesSendsTheUpdateOnce)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost});
    StartProcessUpdater();
    ASSERT_EQ(1, service::CountRequests("/nic/update"));
    service::SetAddress("203.0.113.8");
    HANDLE held = CreateFileA(configFile.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Command(kCmdReloadAndPass);
    Command(kCmdReloadAndPass);
    EXPECT_EQ(2, service::CountRequests("/nic/update"));
    EXPECT_EQ("203.0.113.7", Config(kHomeHost, "IP")) << "nothing could be written";
    CloseHandle(held);

    Command(kCmdReloadAndPass);
    EXPECT_EQ(2, service::CountRequests("/nic/update"));
    for (const char *host : {kHomeHost, kOfficeHost}) {
        EXPECT_EQ("203.0.113.8", Config(host, "IP"));
        EXPECT_EQ("good", Config(host, "Status"));
    }
    EXPECT_EQ(0, CountInLog(": nochg")) << Log();
    EXPECT_EQ(1, CountInLog("Unable to save the configuration")) << Log();
    EXPECT_EQ(1, CountInLog("The configuration is saved again")) << Log();
}

// A configuration saved as UTF-16 with its byte-order mark, as PowerShell
// and Notepad save it: the account is found, the hosts updated, and the
// file stays UTF-16.
TEST_F(ProcessUpdater, AUtf16ConfigurationIsReadAndUpdated)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    std::string ansi = ReadWholeFile(configFile), utf16 = "\xFF\xFE";
    for (char c : ansi)
        utf16.append(1, c).append(1, '\0');
    WriteWholeFile(configFile, utf16);
    StartProcessUpdater();
    EXPECT_EQ(1, service::CountRequests("/nic/update"));
    EXPECT_EQ("203.0.113.7", Config(kHomeHost, "IP"));
    EXPECT_EQ("good", Config(kHomeHost, "Status"));
    std::string text = ReadWholeFile(configFile);
    ASSERT_EQ(0u, text.find("\xFF\xFE"));
    EXPECT_EQ(0u, text.size() % 2);
    std::string narrow;
    for (size_t i = 2; i + 1 < text.size(); i += 2) {
        EXPECT_EQ('\0', text[i + 1]) << "a character outside ASCII, or an ANSI line, at " << i;
        narrow += text[i];
    }
    EXPECT_NE(std::string::npos, narrow.find("IP=203.0.113.7\r\n")) << narrow;
}

TEST_F(ProcessUpdater, AResumeFromSleepRunsAPassShortlyAfter)
{
    HWND window = StartWithOneHost();
    ASSERT_NE((HWND)NULL, window);

    // The laptop slept, and woke on another network.
    service::SetAddress("203.0.113.8");
    SendMessageA(window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    EXPECT_EQ(TRUE, SendMessageA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0));
    EXPECT_EQ(1, service::CountRequests("/nic/update")); // the network needs a moment first

    // The pass follows some 10 s later, long before the 10-minute timer.
    EXPECT_TRUE(HomeAddressBecomes("203.0.113.8", 60));
    EXPECT_EQ(2, service::CountRequests("/nic/update"));
}

TEST_F(ProcessUpdater, ABurstOfNetworkChangesRunsAPassOnceTheyAreQuiet)
{
    HWND window = StartWithOneHost();
    ASSERT_NE((HWND)NULL, window);

    // The laptop joined another network: the system's callbacks post
    // TalUpPs's own message (WM_APP + 1, process_main.cpp), several times
    // over as an adapter comes up. Wine never calls them back itself.
    service::SetAddress("203.0.113.8");
    for (int i = 0; i < 3; ++i)
        PostMessageA(window, WM_APP + 1, 0, 0);

    EXPECT_TRUE(HomeAddressBecomes("203.0.113.8", 30)) << Log();
    EXPECT_EQ(2, service::CountRequests("/nic/update"));
}

// Another account's updater, woken by the same network change, is between
// deciding what to send and recording its answer: this one waits for it,
// then finds the host recorded and does not send it again.
TEST_F(ProcessUpdater, AnotherUpdatersPassIsWaitedForAndWhatItSentIsNotSentAgain)
{
    HWND window = StartWithOneHost();
    ASSERT_NE((HWND)NULL, window);
    auto passesEnded = [&] {
        std::vector<std::string> messages = configPipe->Messages();
        return std::count(messages.begin(), messages.end(), std::string(1, kConfigMsgPassDone[0]));
    };
    auto ended = passesEnded();
    int checks = service::CountRequests("/");
    service::SetAddress("203.0.113.8");
    {
        HeldLockByte otherPass(DataFolderPath() + "talvex.lock", 2);
        PostMessageA(window, WM_APP + 1, 0, 0); // a network change (process_main.cpp)
        // Once its address is checked this updater waits for the other's pass.
        for (int tenths = 0; tenths < 300 && service::CountRequests("/") == checks; ++tenths)
            Sleep(100);
        ASSERT_GT(service::CountRequests("/"), checks);
        SetConfig(kHomeHost, "IP", "203.0.113.8"); // what the other pass sent and recorded
        SetConfig(kHomeHost, "Update", TimestampSecondsAgo(0).c_str());
    }
    for (size_t n = configPipe->Messages().size() + 1; passesEnded() == ended && configPipe->WaitFor(n, 30000); ++n) {
    }
    EXPECT_GT(passesEnded(), ended) << Log();
    EXPECT_EQ(1, service::CountRequests("/nic/update"));
    EXPECT_EQ(0, CountInLog("IP Changed from [203.0.113.7] to [203.0.113.8]")) << Log();
}

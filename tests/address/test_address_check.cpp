// GetIP and IsBehindProxy against the local service's address-check page
// on ports 80 and 8245, inside the private network.
#include "scoped.h"
#include "service_control.h"
#include "tallib.h"
#include "test_env.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <thread>

namespace {

std::string Page(const std::string &between) { return "<html><body>Current IP Address: " + between + "</body></html>"; }

class AddressCheck : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        service::Reset();
    }
    void TearDown() override
    {
        service::Reset();
        DataFolderTest::TearDown();
    }
    std::string LastIP()
    {
        char buffer[256];
        Profile_ReadText(configFile.c_str(), "App", "LastIP", "<absent>", buffer, sizeof buffer);
        return buffer;
    }
};

// Seconds one GetIP call took, with its result and address.
double TimedGetIP(int alternatePort, int *result, char *address, int size)
{
    ULONGLONG start = GetTickCount64();
    *result = GetIP(address, size, alternatePort);
    return (GetTickCount64() - start) / 1000.0;
}

} // namespace

TEST_F(AddressCheck, ReadsTheAddressOnEitherPortAndRecordsIt)
{
    char address[20] = "";
    ASSERT_EQ(1, GetIP(address, sizeof address, 0));
    EXPECT_STREQ("203.0.113.7", address);
    EXPECT_EQ("203.0.113.7", LastIP());
    EXPECT_NE(std::string::npos, service::Requests("/").find("\"User-Agent\": \"Talvex-Client-Win32/4.0.8\""));

    // Only the alternate port's answer is scripted: it must be the one asked.
    service::Script("checkip8245", Page("198.51.100.9"));
    ASSERT_EQ(1, GetIP(address, sizeof address, 1));
    EXPECT_STREQ("198.51.100.9", address);
    EXPECT_EQ("198.51.100.9", LastIP());
    EXPECT_NE(std::string::npos, service::Requests("/").find("\"port\": 8245"));

    // A page without a length ends with the connection; white space around
    // the address is not part of it.
    service::Script("checkip80", Page("\r\n  198.51.100.10 \n"), "no-length");
    ASSERT_EQ(1, GetIP(address, sizeof address, 0));
    EXPECT_STREQ("198.51.100.10", address);
    EXPECT_EQ("198.51.100.10", LastIP());

    // A buffer too small for the whole address gets nothing, not a cut one.
    char small[8];
    memset(small, 'x', sizeof small);
    EXPECT_EQ(0, GetIP(small, sizeof small, 0));
    EXPECT_EQ(0, memcmp(small, "xxxxxxxx", sizeof small));
}

TEST_F(AddressCheck, MalformedPagesGiveNoAddressAndLeaveLastIPAlone)
{
    const std::string pages[] = {
        "",
        "abc",
        "<html><body>Your address: 203.0.113.8</body></html>",
        "<html><body>Current IP Address: 203.0.113.8</html>",
        Page("111.222.111.2229"),           // over 15 characters
        Page("203.0.113.8\r\n[Hosts]\r\nCount=99"),
        std::string(60000, 'x') + Page("203.0.113.8"), // marker past the read bound
    };
    ASSERT_TRUE(Profile_WriteText(configFile.c_str(), "App", "LastIP", "198.51.100.1"));
    for (const std::string &page : pages) {
        service::Script("checkip", page);
        char address[20] = "keep";
        EXPECT_EQ(0, GetIP(address, sizeof address, 0)) << page.substr(0, 80);
        EXPECT_STREQ("keep", address);
        EXPECT_EQ("198.51.100.1", LastIP()) << page.substr(0, 80);
    }
    EXPECT_EQ(std::string::npos, ReadWholeFile(configFile).find("Count=99"));

    // An empty address is recorded as such, and is still no address.
    service::Script("checkip", Page(" "));
    char address[20] = "keep";
    EXPECT_EQ(0, GetIP(address, sizeof address, 0));
    EXPECT_STREQ("keep", address);
    EXPECT_EQ("", LastIP());
}

TEST_F(AddressCheck, OversizedPageIsReadOnlyUpToItsBound)
{
    service::Script("checkip", Page("203.0.113.9") + std::string(60000, 'x'));
    char address[20] = "";
    int result = 0;
    double seconds = TimedGetIP(0, &result, address, sizeof address);
    EXPECT_EQ(1, result);
    EXPECT_STREQ("203.0.113.9", address);
    EXPECT_LT(seconds, 5.0);
}

TEST_F(AddressCheck, ServiceDownOrSilentGivesNoAddressInBoundedTime)
{
    char address[20] = "keep";
    int result = -1;
    service::Listen(80, false);
    double refused = TimedGetIP(0, &result, address, sizeof address);
    printf("GetIP with nobody listening returned after %.1f s\n", refused);
    EXPECT_EQ(0, result);
    EXPECT_LT(refused, 5.0);

    // The service reads the request and never answers: the receive
    // time-out (15 s) must end the call.
    service::Script("checkip", "", "hang");
    double silent = TimedGetIP(1, &result, address, sizeof address);
    printf("GetIP against a silent service returned after %.1f s\n", silent);
    EXPECT_EQ(0, result);
    EXPECT_LT(silent, 25.0);
    EXPECT_STREQ("keep", address);
    EXPECT_EQ("<absent>", LastIP());
}

TEST_F(AddressCheck, ProxyIsDetectedOnlyFromAValidAlternateAnswer)
{
    char direct[20] = "", alternate[20] = "";
    EXPECT_EQ(0, IsBehindProxy(direct, sizeof direct, alternate, sizeof alternate));
    EXPECT_STREQ("203.0.113.7", direct);
    EXPECT_STREQ("203.0.113.7", alternate);

    // Port 80 is answered by a proxy that reports its own address.
    service::SetProxy(true, "198.51.100.77");
    EXPECT_EQ(1, IsBehindProxy(direct, sizeof direct, alternate, sizeof alternate));
    EXPECT_STREQ("198.51.100.77", direct);
    EXPECT_STREQ("203.0.113.7", alternate);

    // An alternate answer that may not be sent proves nothing.
    service::SetAddress("192.168.0.1");
    EXPECT_EQ(0, IsBehindProxy(direct, sizeof direct, alternate, sizeof alternate));
    EXPECT_STREQ("192.168.0.1", alternate);

    // Port 80 unanswered, a valid alternate answer: use the alternate port.
    service::Reset();
    service::Listen(80, false);
    char none[20] = "", other[20] = "";
    EXPECT_EQ(1, IsBehindProxy(none, sizeof none, other, sizeof other));
    EXPECT_STREQ("", none);
    EXPECT_STREQ("203.0.113.7", other);

    // No alternate answer: the caller's old text there is not an answer.
    service::Reset();
    service::Listen(8245, false);
    char stale[20] = "198.51.100.5";
    EXPECT_EQ(0, IsBehindProxy(direct, sizeof direct, stale, sizeof stale));
    EXPECT_STREQ("198.51.100.5", stale);
}

// The one address check of every program: the proxy mode is stored only
// from a probe in which both ports answered, then the port it names is asked.
TEST_F(AddressCheck, PublicAddressFixesTheProxyModeOnlyWhenBothPortsAnswered)
{
    const struct {
        const char *story;
        const char *storedMode; // NULL: never determined
        bool proxy, port80, port8245;
        const char *address, *modeAfter;
    } cases[] = {
        {"both ports, no proxy", NULL, false, true, true, "203.0.113.7", "0"},
        {"both ports, a proxy on 80", NULL, true, true, true, "203.0.113.7", "1"},
        {"8245 down", NULL, false, true, false, "203.0.113.7", "<absent>"},
        {"80 down", NULL, false, false, true, "203.0.113.7", "<absent>"},
        {"mode known: the proxy's port is asked", "1", true, true, true, "203.0.113.7", "1"},
        {"mode known: only port 80 is asked", "0", false, true, false, "203.0.113.7", "0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.story);
        service::Reset();
        service::SetProxy(c.proxy, "198.51.100.77");
        service::Listen(80, c.port80);
        service::Listen(8245, c.port8245);
        Profile_WriteText(configFile.c_str(), "App", "Proxy", c.storedMode);
        char address[20] = "";
        EXPECT_EQ(1, GetPublicAddress(address, sizeof address));
        EXPECT_STREQ(c.address, address);
        char mode[16];
        Profile_ReadText(configFile.c_str(), "App", "Proxy", "<absent>", mode, sizeof mode);
        EXPECT_STREQ(c.modeAfter, mode);
    }
}

// The configuration utility checks the address and fetches the host list
// on two worker threads at once: each reads its own call's cause, even
// when the other thread's call failed differently in between.
TEST_F(AddressCheck, EachThreadReadsTheCauseOfItsOwnCall)
{
    service::Script("checkip80", Page(" "));
    service::Listen(8245, false);
    ScopedHandle firstCalled(CreateEventA(NULL, TRUE, FALSE, NULL));
    ScopedHandle secondCalled(CreateEventA(NULL, TRUE, FALSE, NULL));
    char firstCause[256] = "", secondCause[256] = "";
    std::thread first([&] {
        char address[20] = "";
        GetIP(address, sizeof address, 0);
        SetEvent(firstCalled.get());
        WaitForSingleObject(secondCalled.get(), 30000);
        GetLastFailure(firstCause, sizeof firstCause);
    });
    std::thread second([&] {
        char address[20] = "";
        WaitForSingleObject(firstCalled.get(), 30000);
        GetIP(address, sizeof address, 1);
        SetEvent(secondCalled.get());
        GetLastFailure(secondCause, sizeof secondCause);
    });
    first.join();
    second.join();
    EXPECT_STREQ("the address-check page answered with an empty address", firstCause);
    EXPECT_EQ(0, strncmp(secondCause, "WinHttpSendRequest failed", 25)) << secondCause;
}

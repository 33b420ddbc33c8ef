// The one HTTP exchange helper: body bounds, failed steps, verified TLS with
// Basic credentials; the asynchronous use of the same set-up.
#include "error_text.h"
#include "http_async.h"
#include "service_control.h"

#include <gtest/gtest.h>
#include <winhttp.h>

#include <string.h>

#include <string>

namespace {

HttpGetResult CheckPage(size_t maxBody)
{
    HttpGetRequest request;
    request.host = "checkip.talvex.test";
    request.maxBody = maxBody;
    return HttpGet(request);
}

HttpGetResult HostList(const char *host, const char *password)
{
    HttpGetRequest request;
    request.host = host;
    request.port = INTERNET_DEFAULT_HTTPS_PORT;
    request.path = "/text/gethostlist";
    request.secure = true;
    request.user = "demo";
    request.password = password;
    return HttpGet(request);
}

} // namespace

TEST(HttpGet, AnnouncedLengthIsReadOnlyFromAWholeHeaderLine)
{
    struct Case {
        const char *headers;
        bool announced;
        unsigned long long length;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 65536\r\nServer: x\r\n\r\n", true, 65536},
        {"HTTP/1.1 200 OK\r\ncontent-length: 12\r\n\r\n", true, 12},      // names match without case
        {"HTTP/1.1 200 OK\nContent-Length: 7\n", true, 7},                // line feeds only
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n", true, 0},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n", true, 5000000000ull}, // past 32 bits
        {"HTTP/1.1 200 OK\r\nContent-Length: 99", false, 0},               // cut before the line end
        {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", false, 0},        // not announced
        {"HTTP/1.1 200 OK\r\nX-Content-Length: 5\r\n", false, 0},           // another header's name
        {"HTTP/1.1 200 OK\r\nContent-Length: abc\r\n", false, 0},
        {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n", false, 0}, // overflow refused
    };
    for (const Case &c : cases) {
        unsigned long long length = 12345;
        EXPECT_EQ(c.announced, ParseAnnouncedLength(c.headers, &length)) << c.headers;
        if (c.announced) {
            EXPECT_EQ(c.length, length) << c.headers;
        }
    }
    unsigned long long length = 0;
    EXPECT_FALSE(ParseAnnouncedLength(nullptr, &length));
}

TEST(HttpGet, BodyStopsAtItsBoundAndAtAZeroByte)
{
    service::Reset();
    service::Script("checkip", std::string(100, 'a'), "normal", 2);
    HttpGetResult whole = CheckPage(100);
    EXPECT_EQ(HttpOk, whole.step);
    EXPECT_EQ(100u, whole.body.size());
    EXPECT_FALSE(whole.cut);
    HttpGetResult cut = CheckPage(99);
    EXPECT_EQ(99u, cut.body.size());
    EXPECT_TRUE(cut.cut);

    service::Script("checkip", std::string("abc\0def", 7));
    EXPECT_EQ("abc", CheckPage(100).body);
}

TEST(HttpGet, FailedStepIsNamedAndLeavesNoBody)
{
    service::Reset();
    service::Script("checkip", "", "close");
    HttpGetResult dropped = CheckPage(100);
    EXPECT_EQ(HttpReceiveFailed, dropped.step);
    EXPECT_NE(0u, dropped.error);
    EXPECT_EQ("", dropped.body);

    service::Listen(80, false);
    HttpGetResult refused = CheckPage(100);
    EXPECT_EQ(HttpSendFailed, refused.step);
    EXPECT_EQ(ERROR_WINHTTP_CANNOT_CONNECT, refused.error);

    HttpGetRequest noHost;
    EXPECT_EQ(HttpConnectFailed, HttpGet(noHost).step);
    service::Reset();
}

// Windows errors in decimal, as their documentation lists them; HRESULTs
// in hexadecimal, never as a large decimal number.
TEST(ErrorText, WindowsErrorsAndHresultsAreWrittenAsTheirDocumentationListsThem)
{
    const std::string accessDenied = ErrorText(ERROR_ACCESS_DENIED);
    ASSERT_NE(kNoErrorText, accessDenied);
    const struct {
        DWORD code;
        std::string text;
    } cases[] = {
        {ERROR_ACCESS_DENIED, "error 5 (" + accessDenied + ")"},
        {ERROR_WINHTTP_CANNOT_CONNECT, "error 12029 (A connection with the server could not be established)"},
        // Windows errors wrapped in an HRESULT keep their text.
        {0x80070005, "HRESULT 0x80070005 (" + accessDenied + ")"},
        {0x80072EFD, "HRESULT 0x80072EFD (A connection with the server could not be established)"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.text, DescribeError(c.code)) << c.code;
    // Without a text of the system's the number alone, still in hexadecimal.
    std::string classMissing = DescribeError(0x80040152);
    EXPECT_EQ(0u, classMissing.find("HRESULT 0x80040152")) << classMissing;
    EXPECT_EQ(std::string::npos, classMissing.find("Unknown error")) << classMissing;
    EXPECT_EQ(std::string::npos, classMissing.find("2147746130")) << classMissing;
}

TEST(HttpGet, SendsBasicCredentialsOverVerifiedTls)
{
    service::Reset();
    HttpGetResult list = HostList("update.talvex.test", "demo-pass");
    EXPECT_EQ(HttpOk, list.step) << list.error;
    EXPECT_NE(std::string::npos, list.body.find("dynamic:home.talvex-demo.test")) << list.body;
    EXPECT_NE(std::string::npos, HostList("update.talvex.test", "wrong").body.find("badauth"));

    // Same server, a name its certificate does not hold: refused.
    HttpGetResult misnamed = HostList("localhost", "demo-pass");
    EXPECT_EQ(HttpSendFailed, misnamed.step);
    EXPECT_EQ("", misnamed.body);
}

namespace {

// Keeps what one asynchronous exchange tells its receiver.
struct Recorder final : HttpReceiver {
    std::string body;
    int ends = 0;
    HttpStep step = HttpOk;
    DWORD error = 0;
    bool whole = false;
    bool OnBody(const char *bytes, DWORD length) override
    {
        body.append(bytes, length);
        return true;
    }
    void OnEnd(HttpStep endStep, DWORD endError, bool endWhole) override
    {
        ++ends;
        step = endStep;
        error = endError;
        whole = endWhole;
    }
};

// The address-check page (or host over TLS) through an exchange of its own,
// waiting until WinHTTP has given its request up.
Recorder Fetch(HINTERNET session, HttpAsync &exchange, const char *host = "checkip.talvex.test")
{
    Recorder recorder;
    HttpTarget target;
    target.host = host;
    target.secure = strcmp(host, "localhost") == 0;
    target.port = target.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    DWORD error = 0;
    EXPECT_EQ(HttpOk, exchange.Start(session, target, recorder, true, &error)) << error;
    EXPECT_TRUE(exchange.Closed(30000));
    return recorder;
}

} // namespace

TEST(HttpAsync, EndsOnceWithTheSameVerdictsAsTheSynchronousExchange)
{
    service::Reset();
    ScopedInternet session(OpenHttpSession(true));
    ASSERT_TRUE(session);
    HttpAsync exchange;

    service::Script("checkip", std::string(100, 'a'));
    Recorder whole = Fetch(session.get(), exchange);
    EXPECT_EQ(1, whole.ends);
    EXPECT_EQ(HttpOk, whole.step);
    EXPECT_TRUE(whole.whole);
    EXPECT_EQ(std::string(100, 'a'), whole.body);

    // Half the announced body, then the connection drops: never whole.
    service::Script("checkip", std::string(100, 'a'), "cut", 2);
    EXPECT_FALSE(CheckPage(200).whole);
    Recorder cut = Fetch(session.get(), exchange);
    EXPECT_FALSE(cut.step == HttpOk && cut.whole) << DescribeFailure(cut.step, cut.error);

    service::Listen(80, false);
    HttpGetResult refusedNow = CheckPage(100);
    Recorder refused = Fetch(session.get(), exchange);
    EXPECT_EQ(DescribeFailure(refusedNow), DescribeFailure(refused.step, refused.error));
    service::Listen(80, true);

    // A name the certificate does not hold is refused here too.
    Recorder misnamed = Fetch(session.get(), exchange, "localhost");
    EXPECT_EQ(1, misnamed.ends);
    EXPECT_NE(HttpOk, misnamed.step);
    EXPECT_EQ("", misnamed.body);
    service::Reset();
}

TEST(HttpAsync, CancelStopsASilentServerAtOnceAndTheExchangeRunsAgain)
{
    service::Reset();
    ScopedInternet session(OpenHttpSession(true));
    // Kept for the process: the stopped request may close after this test.
    static HttpAsync exchange;
    static Recorder silent;
    HttpTarget page;
    page.host = "checkip.talvex.test";
    service::Script("checkip", "", "hang");
    ASSERT_EQ(HttpOk, exchange.Start(session.get(), page, silent, true, NULL));
    ULONGLONG started = GetTickCount64();
    EXPECT_TRUE(exchange.Cancel(0));
    EXPECT_LT(GetTickCount64() - started, 1000u);
    EXPECT_EQ(1, silent.ends);
    EXPECT_EQ(HttpStopped, silent.step);
    EXPECT_FALSE(exchange.Cancel(0)) << "nothing runs any more";

    service::Script("checkip", "again");
    EXPECT_EQ("again", Fetch(session.get(), exchange).body);
    service::Reset();
}

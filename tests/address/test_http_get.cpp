// The one HTTP exchange helper: body bounds, failed steps, verified TLS with
// Basic credentials.
#include "http_get.h"
#include "service_control.h"

#include <gtest/gtest.h>
#include <winhttp.h>

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

// What the installer accepts as a prepared configuration: the text the
// utility saves, and the ways a file given with /CONFIG= can be wrong.
#include <gtest/gtest.h>

#include "prepared_config.h"

namespace {

const char kPrepared[] = "[App]\r\nUsername=fleet-user\r\nPassword=0a1b2c3d\r\nAuthed=1\r\nLoadIcon=1\r\n"
                         "Status=1\r\nLastIP=198.51.100.9\r\nProxy=0\r\n\r\n; a comment\r\n[Hosts]\r\nCount=2\r\n"
                         "Host1=home.talvex.test\r\nHost2=work.talvex.test\r\n[home.talvex.test]\r\nIP=198.51.100.9\r\n";

} // namespace

TEST(PreparedConfig, TakesTheAccountOptionsAndHostsButNotTheMachinesOwnRecords)
{
    PreparedConfig config;
    ASSERT_EQ("", ReadPreparedConfig(kPrepared, config));
    std::vector<std::pair<std::string, std::string>> app = {
        {"Username", "fleet-user"}, {"Password", "0a1b2c3d"}, {"Authed", "1"}, {"LoadIcon", "1"}};
    EXPECT_EQ(app, config.app);
    EXPECT_EQ((std::vector<std::string>{"home.talvex.test", "work.talvex.test"}), config.hosts);
}

TEST(PreparedConfig, AMalformedFileIsRefusedWithItsReason)
{
    const char *const cases[][2] = {
        {"", "no usable account"},
        {"Username=a\r\n[App]\r\n", "line 1 has a key before any section"},
        {"[App]\r\nUsername=fleet-user\r\nthis is no configuration\r\n", "line 3 is neither a section nor a key"},
        {"[App]\r\nUsername=ab\r\nPassword=0a1b2c\r\n[Hosts]\r\nCount=1\r\nHost1=a.test\r\n", "no usable account"},
        {"[App]\r\nUsername=abc\r\nPassword=0a1b2\r\n[Hosts]\r\nCount=1\r\nHost1=a.test\r\n", "no usable account"},
        {"[App]\r\nUsername=abc\r\nPassword=zz1b2c\r\n[Hosts]\r\nCount=1\r\nHost1=a.test\r\n", "no usable account"},
        {"[App]\r\nUsername=abc\r\nPassword=0a1b2c\r\n", "selects no host"},
        {"[App]\r\nUsername=abc\r\nPassword=0a1b2c\r\n[Hosts]\r\nCount=x\r\n", "selects no host"},
        {"[App]\r\nUsername=abc\r\nPassword=0a1b2c\r\n[Hosts]\r\nCount=2\r\nHost1=a.test\r\n", "Host2 is missing"},
        {"[App]\r\nUsername=abc\r\nPassword=0a1b2c\r\n[Hosts]\r\nCount=1\r\nHost1=a.test,b.test\r\n",
         "Host1 is missing or is not a host name"},
    };
    for (const auto &c : cases) {
        PreparedConfig config;
        std::string error = ReadPreparedConfig(c[0], config);
        EXPECT_NE(std::string::npos, error.find(c[1])) << c[0] << " gave: " << error;
    }
    std::string binary("[App]\r\nUsername=abc\0\r\n", 22);
    PreparedConfig config;
    EXPECT_NE("", ReadPreparedConfig(binary, config));
}

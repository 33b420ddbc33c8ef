// The links the programs open: https pages and mail addresses only, the
// product's own among them, and nothing else handed to a shell.
#include "user_link.h"

#include "talvex_settings.h"

#include <gtest/gtest.h>

namespace {

TEST(UserLink, OnlyHttpsPagesAndMailAddressesAreLinks)
{
    struct {
        const char *target;
        bool link;
    } const kCases[] = {
        {"https://www.talvex.test/support/", true},
        {"HTTPS://www.talvex.test/", true},
        {"mailto:support@talvex.test", true},
        {"http://www.talvex.test/support/", false}, // could be changed on its way
        {"https://", false},
        {"https:///etc", false},
        {"mailto:", false},
        {"mailto:@x", false},
        {"file:///C:/Windows/System32/cmd.exe", false},
        {"C:\\Windows\\System32\\cmd.exe", false},
        {"\\\\server\\share\\tool.exe", false},
        {"javascript:alert(1)", false},
        {"https://www.talvex.test/ \"C:\\x.exe\"", false}, // one address, never a command line
        {"https://www.talvex.test/\t", false},
        {"", false},
        {NULL, false},
    };
    for (const auto &c : kCases)
        EXPECT_EQ(c.link, IsProductLink(c.target)) << (c.target ? c.target : "NULL");
}

// The build settings are checked when the build is configured too; these
// are the very texts the utility opens.
TEST(UserLink, EveryLinkOfTheProductIsOne)
{
    for (const char *target : {TALVEX_SUPPORT_URL, TALVEX_COMMUNITY_URL, TALVEX_HOSTS_URL, "mailto:" TALVEX_SUPPORT_EMAIL})
        EXPECT_TRUE(IsProductLink(target)) << target;
}

TEST(UserLink, AnythingElseIsRefusedWithItsReason)
{
    std::string why;
    EXPECT_FALSE(OpenLinkAsUser("http://www.talvex.test/support/", why));
    EXPECT_EQ("only https:// and mailto: links are opened", why);
}

} // namespace

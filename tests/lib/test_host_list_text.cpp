// The host-list reply's reading, as pure text: which names a reply offers.
#include "host_list_text.h"

#include <gtest/gtest.h>

using Names = std::vector<std::string>;

TEST(HostListText, OffersTheNamesOfWholeLines)
{
    const struct {
        const char *reply;
        Names names;
    } cases[] = {
        {"", {}},
        {"dynamic:a,b\nstatic:c\n", {"a", "b", "c"}},
        {"dynamic:a,*.w,b\n", {"a", "b"}},
        {"dynamic:a\ndynamic:b", {"a"}},            // the last line has no line feed
        {":a\ndynamic:b\n", {"b"}},             // a line starting with ":" is skipped
        {"a,b\n", {"a", "b"}},              // no ":": the whole line
        {"dynamic:a:b\n", {"a:b"}},             // only the first ":" separates
        {"dynamic:,a,,b,\n", {"a", "b"}},       // empty items are skipped
        {"\n\ndynamic:a\n\n", {"a"}},           // empty lines offer nothing
        {"\n:a\n", {}},                     // ... nor make the next line count
        {"dynamic: a ,b\n", {" a ", "b"}},      // spaces are kept
        {"dynamic:a,b\r\nstatic:c\r\n", {"a", "b", "c"}}, // CR LF line ends
        {"dynamic:a,\r\n", {"a"}},
        {"dynamic:a\r\r\n", {"a\r"}},           // only the line end's own CR goes
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.names, OfferedHosts(c.reply)) << c.reply;
}

TEST(HostListText, BadauthAnywhereRefuses)
{
    EXPECT_TRUE(HostListRefused("badauth\n"));
    EXPECT_TRUE(HostListRefused("dynamic:a\nxxbadauthxx"));
    EXPECT_FALSE(HostListRefused("dynamic:badaut,h\n"));
    EXPECT_FALSE(HostListRefused("BADAUTH\n")); // the word is compared exactly
}

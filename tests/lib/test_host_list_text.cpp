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
        {"dyn:a,b\nstatic:c\n", {"a", "b", "c"}},
        {"dyn:a,*.w,b\n", {"a", "b"}},
        {"dyn:a\ndyn:b", {"a"}},            // the last line has no line feed
        {":a\ndyn:b\n", {"b"}},             // a line starting with ":" is skipped
        {"a,b\n", {"a", "b"}},              // no ":": the whole line
        {"dyn:a:b\n", {"a:b"}},             // only the first ":" separates
        {"dyn:,a,,b,\n", {"a", "b"}},       // empty items are skipped
        {"\n\ndyn:a\n\n", {"a"}},           // empty lines offer nothing
        {"\n:a\n", {}},                     // ... nor make the next line count
        {"dyn: a ,b\n", {" a ", "b"}},      // spaces are kept
        {"dyn:a,b\r\nstatic:c\r\n", {"a", "b", "c"}}, // CR LF line ends
        {"dyn:a,\r\n", {"a"}},
        {"dyn:a\r\r\n", {"a\r"}},           // only the line end's own CR goes
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.names, OfferedHosts(c.reply)) << c.reply;
}

TEST(HostListText, BadauthAnywhereRefuses)
{
    EXPECT_TRUE(HostListRefused("badauth\n"));
    EXPECT_TRUE(HostListRefused("dyn:a\nxxbadauthxx"));
    EXPECT_FALSE(HostListRefused("dyn:badaut,h\n"));
    EXPECT_FALSE(HostListRefused("BADAUTH\n")); // the word is compared exactly
}

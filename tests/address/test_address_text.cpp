// The address-check page parse and the test of an address that may be sent.
#include "address_text.h"
#include "tallib.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Page(const std::string &between) { return "<html><body>Current IP Address: " + between + "</body></html>"; }

} // namespace

TEST(IsValidIP, AcceptsOnlyPublicDottedQuads)
{
    struct Case {
        const char *text;
        int expected;
    } cases[] = {
        // Private, link-local and the loopback address are never sent.
        {"192.168.1.1", 0}, {"10.1.2.3", 0}, {"172.16.0.1", 0}, {"172.31.255.255", 0}, {"169.254.0.1", 0},
        {"127.0.0.1", 0},
        // Just outside those ranges; only the exact loopback address is refused.
        {"172.15.0.1", 1}, {"172.32.0.1", 1}, {"127.0.0.2", 1}, {"11.0.0.1", 1}, {"8.8.4.4", 1},
        {"203.0.113.7", 1}, {"255.255.255.255", 1}, {"0.0.0.0", 1},
        // Not four decimal parts of 0 to 255: not an address at all.
        {"1.2", 0}, {"1.2.3", 0}, {"127.0.0", 0}, {"1.2.3.4.5", 0}, {"300.1.1.1", 0}, {"1.2.3.256", 0},
        {"..10.0.0.1", 0}, {"8..8.4.4", 0}, {"8.8.4.4.", 0}, {".8.8.4.4", 0}, {"", 0},
        {"a.b.c.d", 0}, {"8.8.4.4x", 0}, {"8.8.4.4&myip=1.1.1.1", 0}, {"8.8.4.4\r\n", 0}, {" 8.8.4.4", 0},
        {"+8.8.4.4", 0}, {"-1.8.4.4", 0}, {"8.8.4.0004", 0}, {"010.8.4.4", 0}, {"99999999999.1.1.1", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, IsValidIP(c.text)) << '"' << c.text << '"';
    EXPECT_EQ(0, IsValidIP(NULL));
}

TEST(AddressPage, FindsTheTrimmedTextBetweenMarkerAndBodyEnd)
{
    struct Case {
        std::string body;
        AddressPage expected;
        const char *address;
    } cases[] = {
        {Page("203.0.113.7"), PageAddress, "203.0.113.7"},
        {Page(" \t\r\n203.0.113.7\r\n "), PageAddress, "203.0.113.7"},
        {Page("255.255.255.255"), PageAddress, "255.255.255.255"},
        // Not judged here: whether it is an address is IsValidIP's question.
        {Page("<b>1.2.3.4</b>"), PageAddress, "<b>1.2.3.4</b>"},
        {Page(""), PageEmptyAddress, ""},
        {Page(" \r\n "), PageEmptyAddress, ""},
        {"abc", PageNoAddress, ""},
        {"", PageNoAddress, ""},
        {"<html><body>203.0.113.7</body></html>", PageNoAddress, ""},
        {"Current IP Address: 203.0.113.7", PageNoAddress, ""},
        {"</body>Current IP Address: 203.0.113.7", PageNoAddress, ""},
        {"Current IP Address:203.0.113.7</body>", PageNoAddress, ""},
        // Over 15 characters: its first 15 would read as another address.
        {Page("111.222.111.2229"), PageNoAddress, ""},
        {Page("203.0.113.7 and some more"), PageNoAddress, ""},
        // Nothing that could break a line of the configuration file.
        {Page("1.2\r\n[App]\r\nx=1"), PageNoAddress, ""},
        {Page("1.2\n3.4"), PageNoAddress, ""},
        {Page("1.2 3.4"), PageNoAddress, ""},
        {Page("1.2.3.\x01"), PageNoAddress, ""},
        {Page("1.2.3.\xc4"), PageNoAddress, ""},
    };
    for (const Case &c : cases) {
        std::string address = "untouched";
        AddressPage page = ParseAddressPage(c.body, address);
        EXPECT_EQ(c.expected, page) << c.body;
        if (page != PageNoAddress)
            EXPECT_EQ(c.address, address) << c.body;
        else
            EXPECT_EQ("untouched", address) << c.body;
    }
}

TEST(AddressPage, UsesTheFirstMarkerAndTheFirstBodyEndAfterIt)
{
    std::string address;
    EXPECT_EQ(PageAddress,
              ParseAddressPage("Current IP Address: 1.1.1.1</body>Current IP Address: 2.2.2.2</body>", address));
    EXPECT_EQ("1.1.1.1", address);
}

// Password scrambling with the key the programs build in.
#include <gtest/gtest.h>

#include "config_keys.h"
#include "tallib.h"

#include <string.h>

static const char *const kKey = kPasswordKey;

TEST(Scramble, RoundTripGivesLowercaseHexOfTwiceTheLength)
{
    const char *passwords[] = {"a", "secret-pass", "longer than the key itself, with spaces", "\x7f\x01~"};
    for (const char *plain : passwords) {
        char hex[128];
        size_t n = strlen(plain);
        ASSERT_EQ(n, SimpleEncrypt(plain, 255, kKey, 8, hex));
        ASSERT_EQ(2 * n, strlen(hex));
        EXPECT_EQ(strspn(hex, "0123456789abcdef"), 2 * n) << hex;
        char back[64];
        EXPECT_EQ(2 * n, SimpleDecrypt(hex, 255, kKey, 8, back));
        EXPECT_STREQ(plain, back);
    }
}

TEST(Scramble, KnownValueAndLimits)
{
    char hex[16] = "untouched";
    EXPECT_EQ(0u, SimpleEncrypt("", 255, kKey, 8, hex));
    EXPECT_STREQ("untouched", hex);
    // 'a' ^ 'H' = 0x29, 'b' ^ 'q' = 0x13
    EXPECT_EQ(2u, SimpleEncrypt("abc", 2, kKey, 8, hex));
    EXPECT_STREQ("2913", hex);
    EXPECT_EQ(0u, SimpleEncrypt("abc", 8, kKey, 0, hex));
    EXPECT_EQ(0u, SimpleEncrypt(NULL, 8, kKey, 8, hex));
}

TEST(Scramble, UnscramblingTreatsNonDigitsAsZeroAndDropsAnUnpairedDigit)
{
    char a[8], b[8], c[8];
    SimpleDecrypt("0g", 8, kKey, 8, a);
    SimpleDecrypt(" 0", 8, kKey, 8, b);
    SimpleDecrypt("00", 8, kKey, 8, c);
    EXPECT_EQ('H', a[0]);
    EXPECT_STREQ(a, b);
    EXPECT_STREQ(a, c);

    char out[8];
    EXPECT_EQ(5u, SimpleDecrypt("29131", 255, kKey, 8, out));
    EXPECT_STREQ("ab", out);
    EXPECT_EQ(0u, SimpleDecrypt("", 255, kKey, 8, out));
    EXPECT_STREQ("", out);
    EXPECT_EQ(0u, SimpleDecrypt(NULL, 255, kKey, 8, out));
}

// What the upgrade assistant accepts as a finished installer download: the
// percentage shown, the exchange's verdict and what the window says of it,
// the form of a Windows program and the publisher's signature.
#include "installer_check.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

TEST(InstallerCheck, PercentIsTruncatedAndShownOnlyWithinTheTotal)
{
    EXPECT_EQ(0, DownloadPercent(0, 1000));
    EXPECT_EQ(33, DownloadPercent(1, 3));
    EXPECT_EQ(99, DownloadPercent(999, 1000));
    EXPECT_EQ(100, DownloadPercent(1000, 1000));
    EXPECT_EQ(-1, DownloadPercent(1001, 1000));
    EXPECT_EQ(-1, DownloadPercent(500, 0));
    EXPECT_EQ(50, DownloadPercent(2500000000ull, 5000000000ull));
}

TEST(InstallerCheck, OnlyAWholeSavedAnswer200IsAccepted)
{
    EXPECT_EQ(kInstallerOk, JudgeExchange(true, 200, 1000, 1000));
    EXPECT_EQ(kInstallerOk, JudgeExchange(true, 200, 1000, 0)); // no length announced
    EXPECT_EQ(kInstallerNotSaved, JudgeExchange(false, 200, 1000, 1000));
    EXPECT_EQ(kInstallerBadStatus, JudgeExchange(true, 404, 1000, 1000));
    EXPECT_EQ(kInstallerBadStatus, JudgeExchange(true, 206, 1000, 1000));
    EXPECT_EQ(kInstallerIncomplete, JudgeExchange(true, 200, 999, 1000));
    EXPECT_EQ(kInstallerIncomplete, JudgeExchange(true, 200, 1001, 1000));
    EXPECT_EQ(kInstallerIncomplete, JudgeExchange(true, 200, 0, 0));
}

TEST(InstallerCheck, EveryRefusalSaysWhyAndThatNothingWasInstalled)
{
    const std::string nothing = "  Nothing was installed; try again later.";
    struct {
        InstallerVerdict verdict;
        const char *text;
    } cases[] = {
        {kInstallerNotSaved, "The installer could not be saved in the data folder (error 5 (Access is denied))."},
        {kInstallerBadStatus, "The download server answered with status 404 instead of the installer."},
        {kInstallerIncomplete, "The download was incomplete (999 of 5000000000 bytes)."},
        {kInstallerNotProgram, "The file received is not the Talvex Updater installer."},
        {kInstallerNotSigned, "The file received is not signed by the Talvex publisher."},
        {kInstallerNetwork, "The connection to the download server failed or could not be verified "
                            "(error 5 (Access is denied))."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.text + nothing, VerdictText(c.verdict, 404, "error 5 (Access is denied)", 999, 5000000000ull));
    EXPECT_EQ("", VerdictText(kInstallerOk, 0, "", 0, 0));
}

// The form check on a real program of this build and on damaged copies.
TEST(InstallerCheck, ProgramFormRefusesPagesAndCutOffFiles)
{
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(NULL, self, MAX_PATH), 0u);
    std::ifstream in(self, std::ios::binary);
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(file.size(), 4096u);
    auto check = [](const std::vector<unsigned char> &bytes, uint64_t size) {
        return LooksLikeWindowsProgram(bytes.data(), bytes.size() < 4096 ? bytes.size() : 4096, size);
    };
    EXPECT_TRUE(check(file, file.size()));
    EXPECT_FALSE(check(file, file.size() / 2)) << "sections beyond the end of a cut-off file";

    std::string page = "<html><body>404 Not Found</body></html>" + std::string(200, ' ');
    EXPECT_FALSE(check(std::vector<unsigned char>(page.begin(), page.end()), page.size()));

    std::vector<unsigned char> noSignature = file;
    noSignature[noSignature[60] | (noSignature[61] << 8)] = 'X';
    EXPECT_FALSE(check(noSignature, file.size()));

    std::vector<unsigned char> farHeader = file;
    farHeader[60] = 0xF0;
    farHeader[61] = 0xFF; // points past what was read
    EXPECT_FALSE(check(farHeader, file.size()));

    std::vector<unsigned char> tiny(file.begin(), file.begin() + 32);
    EXPECT_FALSE(check(tiny, tiny.size()));
}

TEST(InstallerCheck, OnlyASoundSignatureByAPinnedKeyIsThePublishers)
{
    // A verified signature, or one whose chain ends at an unknown root (the
    // pinned key decides then); no signature, a bad digest or anything else
    // is refused.
    struct {
        unsigned long result;
        bool sound;
    } trust[] = {{0, true},           {0x800B0109, true},  {0x800B010A, true},  {0x800B010D, true},
                 {0x800B0100, false}, {0x80096010, false}, {0x800B0101, false}, {0x80092026, false},
                 {0x800B0004, false}, {0xFFFFFFFF, false}};
    for (const auto &t : trust)
        EXPECT_EQ(t.sound, SignatureSound((long)t.result)) << std::hex << t.result;

    unsigned char key[32];
    for (int i = 0; i < 32; ++i)
        key[i] = (unsigned char)(0xA0 + i);
    const std::string hex = "a0a1a2a3a4a5a6a7a8a9aaabacadaeafb0b1b2b3b4b5b6b7b8b9babbbcbdbebf";
    const std::string other(64, '0');
    EXPECT_TRUE(KeyIsPinned(key, hex.c_str()));
    EXPECT_TRUE(KeyIsPinned(key, (other + " " + hex).c_str())) << "the second key of a planned change";
    EXPECT_TRUE(KeyIsPinned(key, ("  A0A1" + hex.substr(4) + " ").c_str())) << "case and spaces";
    EXPECT_FALSE(KeyIsPinned(key, other.c_str()));
    EXPECT_FALSE(KeyIsPinned(key, hex.substr(0, 63).c_str())) << "a cut value";
    EXPECT_FALSE(KeyIsPinned(key, (hex + "0").c_str())) << "a longer value";
    EXPECT_FALSE(KeyIsPinned(key, ""));
    EXPECT_FALSE(KeyIsPinned(key, NULL));
}

// Revocation that cannot be learnt is checked again without it; a revoked
// certificate, and every other fault, is not.
TEST(InstallerCheck, OnlyAnUnanswerableRevocationCheckIsMadeAgainWithoutIt)
{
    struct {
        unsigned long result;
        bool again;
    } cases[] = {
        {0x80092012, true},  // no revocation server named
        {0x80092013, true},  // revocation server offline
        {0x800B010E, true},  // revocation failure
        {0x80092010, false}, // revoked
        {0x00000000, false}, // verified
        {0x800B0100, false}, // no signature
        {0x80096010, false}, // bad digest
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.again, RevocationUnanswered((long)c.result)) << std::hex << c.result;
}

TEST(InstallerCheck, NotNewerSaysWhichVersionCameAndHowToGoBack)
{
    EXPECT_EQ("4.0.7.0", FixedVersionText(true, 0x00040000, 0x00070000));
    EXPECT_EQ("", FixedVersionText(false, 0, 0));
    EXPECT_EQ("The installer received (version 4.0.7.0) is not newer than the installed version.  To go back to "
              "an older version, run its installer yourself.  Nothing was installed; try again later.",
              VerdictText(kInstallerNotNewer, 0, "4.0.7.0", 0, 0));
}

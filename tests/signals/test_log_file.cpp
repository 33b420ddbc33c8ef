// The log file's bytes on disk, timestamps and their age, and balloon texts.
#include "log_checks.h"
#include "test_env.h"
#include "scoped.h"
#include "tallib.h"

#include <string.h>

#include <string>

class LogFile : public DataFolderTest {};

TEST_F(LogFile, FirstRecordAtByteZeroContinuationOnItsLineNextAfterCrLf)
{
    LogToFile("a", 1, 2);
    LogToFile("b", 0, 0);
    LogToFile("second", 1, 0);

    std::string log = ReadWholeFile(logFile);
    ASSERT_EQ(2 + 19 + 3 + 2 + 2 + 19 + 7u, log.size()) << log;
    EXPECT_EQ("2\t", log.substr(0, 2));
    EXPECT_TRUE(LooksLikeTimestamp(log.substr(2, 19))) << log;
    EXPECT_EQ("\tab\r\n0\t", log.substr(21, 7));
    EXPECT_TRUE(LooksLikeTimestamp(log.substr(28, 19))) << log;
    EXPECT_EQ("\tsecond", log.substr(47)) << "no line break after the last record";
}

TEST_F(LogFile, AnEmptyExistingFileGetsNoLeadingLineBreak)
{
    WriteWholeFile(logFile, "");
    LogToFile("first", 1, 1);
    std::string log = ReadWholeFile(logFile);
    EXPECT_EQ("1\t", log.substr(0, 2));
    EXPECT_EQ("\tfirst", log.substr(21));
}

// The log is the installer's file and only ever that file: a missing one is
// not made, one with a second name gets nothing (it would carry records
// into another file), and clearing empties it in place. A link at its name
// is made from the Linux side (tests/core/planted-link.sh).
TEST_F(LogFile, OnlyTheInstallersPlainFileIsWrittenAndClearedInPlace)
{
    std::string other = dataFolder + "other.txt";
    ASSERT_TRUE(DeleteFileA(logFile.c_str()));
    LogToFile("lost", 1, 0);
    EXPECT_FALSE(FileExists(logFile)) << "a missing log is not made";
    EXPECT_EQ(0, Log_Clear());
    EXPECT_FALSE(FileExists(logFile));

    WriteWholeFile(other, "");
    ASSERT_TRUE(CreateHardLinkA(logFile.c_str(), other.c_str(), NULL));
    LogToFile("through a second name", 1, 0);
    EXPECT_EQ(0, Log_Clear());
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ("", ReadWholeFile(other)) << "nothing reached the other name";
    ASSERT_TRUE(DeleteFileA(logFile.c_str()));
    DeleteFileA(other.c_str());

    WriteWholeFile(logFile, "");
    BY_HANDLE_FILE_INFORMATION made = {}, now = {};
    ScopedFile held(CreateFileA(logFile.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, 0, NULL));
    ASSERT_TRUE(held && GetFileInformationByHandle(held.get(), &made));
    LogToFile("old record", 1, 0);
    EXPECT_EQ(1, Log_Clear());
    EXPECT_EQ("", ReadWholeFile(logFile));
    LogToFile("new record", 1, 0);
    EXPECT_EQ("\tnew record", ReadWholeFile(logFile).substr(21)) << "the first record of the cleared log";
    ScopedFile file(CreateFileA(logFile.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, 0, NULL));
    ASSERT_TRUE(file && GetFileInformationByHandle(file.get(), &now));
    EXPECT_TRUE(made.nFileIndexLow == now.nFileIndexLow && made.nFileIndexHigh == now.nFileIndexHigh)
        << "the same file, not one made anew";
}

TEST_F(LogFile, LineBreaksAndTabsInAMessageCannotStartAnotherRecord)
{
    LogToFile("one\r\ntwo\tthree\nfour", 1, 1);
    LogToFile(" and\rmore\n", 0, 0);
    LogAndSignal("next", 1, 0);

    std::vector<std::string> lines = LogLines(ReadWholeFile(logFile));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("\tone  two three four and more ", lines[0].substr(21));
    EXPECT_EQ("\tnext", lines[1].substr(21));
    for (const std::string &line : lines)
        EXPECT_EQ(std::string::npos, line.find_first_of("\r\n")) << line;
}

TEST_F(LogFile, NullMessagesAreEmptyText)
{
    LogToFile(NULL, 1, 2);
    LogToFile(NULL, 0, 0);
    LogAndSignal(NULL, 0, 0);
    std::string log = ReadWholeFile(logFile);
    ASSERT_EQ(22u, log.size()) << log;
    EXPECT_EQ("2\t", log.substr(0, 2));
    EXPECT_EQ('\t', log[21]);
}

TEST(Timestamp, NeedsTwentyBytesAndWritesNineteenCharactersOfNow)
{
    char buffer[32];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(0, GetTimestamp(buffer, 19));
    EXPECT_EQ('x', buffer[0]) << "a short buffer stays untouched";
    EXPECT_EQ(0, GetTimestamp(NULL, 32));

    ASSERT_EQ(19, GetTimestamp(buffer, 20));
    EXPECT_EQ('\0', buffer[19]);
    EXPECT_TRUE(LooksLikeTimestamp(buffer)) << buffer;
    EXPECT_LE(TimeElapsed(buffer), 1u) << buffer;
}

TEST(TimeElapsed, CountsWholeSecondsSinceATimestamp)
{
    unsigned long long hour = TimeElapsed(TimestampSecondsAgo(3600).c_str());
    EXPECT_GE(hour, 3600u);
    EXPECT_LE(hour, 3601u);
    unsigned long long days = TimeElapsed(TimestampSecondsAgo(61 * 3600).c_str());
    EXPECT_GE(days, 61u * 3600);
    EXPECT_LE(days, 61u * 3600 + 1);
    // A later time wraps to a huge age, which the updaters treat as old.
    EXPECT_GT(TimeElapsed(TimestampSecondsAgo(-3600).c_str()), 1000000000000ULL);
}

TEST(TimeElapsed, TextThatIsNoTimestampIsAsOldAsCanBe)
{
    const char *cases[] = {NULL, "", "01-02-2026", "01-02-2026 10:00:0", "13-01-2026 10:00:00",
                           "00-00-0000 00:00:00", "ab-cd-efgh ij:kl:mn", "02-30-2026 10:00:00"};
    for (const char *text : cases)
        EXPECT_EQ(~0ULL, TimeElapsed(text)) << (text ? text : "(null)");
}

struct BalloonCase {
    unsigned code;
    int icon;
    const char *start;
};

TEST(BalloonMessage, EachResultCodeHasItsTextAndIcon)
{
    const BalloonCase cases[] = {
        {1, 1, "Talvex returned GOOD.\nYour IP address"},
        {2, 2, "Talvex returned NOCHNG.\n"},
        {7, 3, "Talvex returned NOTFQDN.\n"},
        {8, 3, "Talvex returned NUMHOST.\n"},
        {10, 3, "Talvex returned ABUSE.\n"},
        {11, 3, "Talvex returned BADAUTH.\n"},
        {137, 1, "Talvex Updater has been stopped.\n"},
        {138, 1, "Talvex Updater has been started.\n"},
        {0, 1, "A configuration error has occured.\n"},
        {3, 1, "A configuration error has occured.\n"},
        {9, 1, "A configuration error has occured.\n"},
        {0xFFFFFFFFu, 1, "A configuration error has occured.\n"},
    };
    for (const BalloonCase &c : cases) {
        char text[256];
        int icon = -1;
        int length = GetBalloonMessage(c.code, text, sizeof text, &icon);
        EXPECT_EQ(c.icon, icon) << c.code;
        EXPECT_EQ((int)strlen(text), length) << c.code;
        EXPECT_EQ(0, strncmp(text, c.start, strlen(c.start))) << c.code << ": " << text;
    }
}

TEST(BalloonMessage, TextsAreExactlyAsUsersKnowThem)
{
    char text[256];
    int icon = 0;
    GetBalloonMessage(7, text, sizeof text, &icon);
    EXPECT_STREQ("Talvex returned NOTFQDN.\nOne or more of your hosts were typed incorrectly, or information was "
                 "corrupted during the transfer.  If this occurs muiltiple times, you must reconfigure the Updater "
                 "before being blocked for abuse.",
                 text);
    GetBalloonMessage(137, text, sizeof text, &icon);
    EXPECT_STREQ("Talvex Updater has been stopped.\nYou can start updating again by clicking \"Start Updater\" in "
                 "the notification icon's right-click menu.",
                 text);
    GetBalloonMessage(4, text, sizeof text, &icon);
    EXPECT_STREQ("A configuration error has occured.\nPlease reconfigure the Updater.", text);
}

TEST(BalloonMessage, ASmallBufferGetsTheBeginningTerminatedAndNothingBeyond)
{
    char text[16];
    memset(text, 'x', sizeof text);
    int icon = 0;
    EXPECT_EQ(9, GetBalloonMessage(1, text, 10, &icon));
    EXPECT_STREQ("Talvex re", text);
    for (int i = 10; i < 16; ++i)
        EXPECT_EQ('x', text[i]) << i;

    EXPECT_EQ(0, GetBalloonMessage(1, text, 1, &icon));
    EXPECT_EQ('\0', text[0]);
    icon = 0;
    EXPECT_EQ(0, GetBalloonMessage(11, NULL, 256, &icon));
    EXPECT_EQ(3, icon) << "the icon is set even without a buffer";
    EXPECT_EQ(0, GetBalloonMessage(11, text, 0, NULL));
    EXPECT_EQ(0, GetBalloonMessage(11, text, -5, NULL));
}

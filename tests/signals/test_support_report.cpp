// The support report: headers, the configuration without its password
// lines, then the log unchanged.
#include "test_env.h"
#include "test_windows.h"
#include "signals.h"
#include "tallib.h"

#include "talvex_settings.h"

#include <string>

class SupportReport : public DataFolderTest {
protected:
    std::string reportFile() const { return dataFolder + "report.txt"; }
    void TearDown() override
    {
        DeleteFileA(reportFile().c_str());
        DataFolderTest::TearDown();
    }
    std::string Expected(const std::string &runningAs, const std::string &configuration, const std::string &log)
    {
        const std::string rule(40, '-');
        return "Talvex Updater v" TALVEX_VERSION "\r\nUser agent: Talvex-Client-Win32/" TALVEX_VERSION "\r\n" +
               runningAs + "\r\n" + rule + "\r\nFile1: " + configFile + "\r\n" + rule + "\r\n\r\n" +
               configuration + "\r\n" + rule + "\r\nFile2: " + logFile + "\r\n" + rule + "\r\n\r\n" + log;
    }
};

TEST_F(SupportReport, LeavesOutPasswordLinesAndCopiesTheLogUnchanged)
{
    WriteWholeFile(configFile, "[Account]\r\nUserName=alice\r\nPassword=0A1B2C3D\r\nProxyPassword=kept\r\n"
                               "PasswordHint=gone\r\n  password=gone too\r\n[Hosts]\r\nCount=1\r\nlast line");
    const std::string log = "0\t01-02-2026 10:00:00\tfirst\r\n2\t01-02-2026 10:10:00\tsecond\ttabbed";
    WriteWholeFile(logFile, log);

    EXPECT_EQ(1, MergeFiles(configFile.c_str(), logFile.c_str(), reportFile().c_str()));
    EXPECT_EQ(Expected("", "[Account]\r\nUserName=alice\r\nProxyPassword=kept\r\n[Hosts]\r\nCount=1\r\nlast line\r\n",
                       log),
              ReadWholeFile(reportFile()));
}

TEST_F(SupportReport, SaysRunningAsProcessWhileTheUpdaterWindowExists)
{
    TestWindow updater(kUpdaterClass, kUpdaterTitle);
    ASSERT_NE((HWND)NULL, updater.handle());
    WriteWholeFile(configFile, "[App]\r\nStatus=0\r\n");
    EXPECT_EQ(1, MergeFiles(configFile.c_str(), logFile.c_str(), reportFile().c_str()));
    EXPECT_EQ(Expected("Running as: Process\r\n", "[App]\r\nStatus=0\r\n", ""), ReadWholeFile(reportFile()));
}

TEST_F(SupportReport, MissingFilesLeaveEmptySectionsUnderTheHeaders)
{
    EXPECT_EQ(1, MergeFiles(configFile.c_str(), logFile.c_str(), reportFile().c_str()));
    EXPECT_EQ(Expected("", "", ""), ReadWholeFile(reportFile()));
}

TEST_F(SupportReport, CopyingTheConfigurationStopsAtAnOverlongLine)
{
    std::string longest(511, 'k'), tooLong(512, 'k');
    WriteWholeFile(configFile, "[A]\r\n" + longest + "\r\n" + tooLong + "\r\nAfter=1\r\n");
    EXPECT_EQ(1, MergeFiles(configFile.c_str(), logFile.c_str(), reportFile().c_str()));
    EXPECT_EQ(Expected("", "[A]\r\n" + longest + "\r\n", ""), ReadWholeFile(reportFile()));
}

TEST_F(SupportReport, AnUncreatableReportWritesNothingAndNullsAreSurvived)
{
    std::string nowhere = dataFolder + "no such folder\\report.txt";
    EXPECT_EQ(0, MergeFiles(configFile.c_str(), logFile.c_str(), nowhere.c_str()));
    EXPECT_FALSE(FileExists(nowhere));
    EXPECT_EQ(0, MergeFiles(configFile.c_str(), logFile.c_str(), NULL));
    EXPECT_EQ(1, MergeFiles(NULL, NULL, reportFile().c_str()));
}

// The report is written elevated to a path the user picked: an existing
// file there (the save dialog asked to replace it) is replaced by a new
// file, never written through, and a second name of another file is
// refused, the other file untouched.
TEST_F(SupportReport, IsWrittenNewNeverThroughWhatIsAlreadyThere)
{
    WriteWholeFile(configFile, "[App]\r\nStatus=0\r\n");
    const std::string report = Expected("", "[App]\r\nStatus=0\r\n", "");
    std::string other = dataFolder + "other.txt";

    WriteWholeFile(reportFile(), std::string(100000, 'x'));
    EXPECT_EQ(1, MergeFiles(configFile.c_str(), logFile.c_str(), reportFile().c_str()));
    EXPECT_EQ(report, ReadWholeFile(reportFile())) << "an old report replaced whole";

    ASSERT_TRUE(DeleteFileA(reportFile().c_str()));
    WriteWholeFile(other, "an administrator's file");
    ASSERT_TRUE(CreateHardLinkA(reportFile().c_str(), other.c_str(), NULL));
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(0, MergeFiles(configFile.c_str(), logFile.c_str(), reportFile().c_str()));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError()) << "said, for the message";
    EXPECT_EQ("an administrator's file", ReadWholeFile(other));
    EXPECT_EQ("an administrator's file", ReadWholeFile(reportFile())) << "the name left as it was";
    DeleteFileA(other.c_str());
}

// The configuration store: paths, host table, status flags and bad input.
#include "test_env.h"
#include "tallib.h"
#include "scoped.h"

#include <string.h>

#include <string>

class ConfigStore : public DataFolderTest {
protected:
    void Write(const char *section, const char *key, const char *value)
    {
        ASSERT_TRUE(Profile_WriteText(configFile.c_str(), section, key, value));
    }
    std::string Read(const char *section, const char *key)
    {
        char buffer[256];
        Profile_ReadText(configFile.c_str(), section, key, "<absent>", buffer, sizeof buffer);
        return buffer;
    }
};

TEST_F(ConfigStore, PathsEndWhereTheInstallationPutsThem)
{
    EXPECT_NE(std::string::npos, dataFolder.find(":\\ProgramData\\Talvex\\Updater\\"));
    char path[MAX_PATH];
    ASSERT_EQ(0, GetFile_INIFile(path, sizeof path));
    EXPECT_EQ(dataFolder + "config.talvex", path);
    ASSERT_EQ(0, GetFolder_EXEDir(path, sizeof path));
    EXPECT_EQ('\\', path[strlen(path) - 1]);

    // A buffer one byte short gets nothing rather than a cut path.
    char small[MAX_PATH];
    memset(small, 'x', sizeof small);
    int size = (int)dataFolder.size();
    EXPECT_NE(0, GetFolder_Data(small, size));
    EXPECT_EQ('\0', small[0]);
    EXPECT_EQ('x', small[size]);
    EXPECT_NE(0, GetFile_INIFile(NULL, 10));
    EXPECT_NE(0, GetFolder_EXEDir(small, 0));
}

TEST_F(ConfigStore, HostListSkipsEmptyEntriesAndFindIgnoresCase)
{
    ASSERT_TRUE(Host_SetText(1, "alpha.example.test"));
    ASSERT_TRUE(Host_SetText(2, ""));
    ASSERT_TRUE(Host_SetText(3, "Gamma.example.test"));
    ASSERT_TRUE(Host_SetCount(3));

    char list[1024] = "";
    EXPECT_EQ(1, Host_GetDelString(list, sizeof list));
    EXPECT_STREQ("alpha.example.test,Gamma.example.test", list);
    EXPECT_EQ(3, Host_Find("gamma.EXAMPLE.test"));
    EXPECT_EQ(0, Host_Find("beta.example.test"));
    EXPECT_EQ(0, Host_Find(NULL));
}

TEST_F(ConfigStore, HostListThatDoesNotFitIsNotCut)
{
    Host_SetText(1, "alpha.example.test");
    Host_SetText(2, "beta.example.test");
    Host_SetCount(2);
    char list[30];
    memset(list, 'x', sizeof list);
    list[0] = '\0';
    EXPECT_EQ(0, Host_GetDelString(list, sizeof list));
    EXPECT_STREQ("", list);
    EXPECT_EQ('x', list[sizeof list - 1]);

    char exact[37] = ""; // both names, one comma, terminator
    EXPECT_EQ(1, Host_GetDelString(exact, sizeof exact));
    EXPECT_STREQ("alpha.example.test,beta.example.test", exact);
}

TEST_F(ConfigStore, EmptyTableReadsAsNothing)
{
    EXPECT_EQ(0, Host_GetCount());
    char list[64] = "";
    EXPECT_EQ(1, Host_GetDelString(list, sizeof list));
    EXPECT_STREQ("", list);
    char value[32] = "unchanged";
    EXPECT_EQ(0, Host_GetIPByIndex(1, value, sizeof value));
    EXPECT_STREQ("", value);
}

TEST_F(ConfigStore, HostAddLeavesCountAndCleanKeepsHostSections)
{
    Host_SetText(1, "a.example.test");
    Host_SetText(2, "b.example.test");
    Host_SetCount(2);
    Write("App", "UserName", "someone");
    EXPECT_EQ(1, Host_Add("c.example.test", "203.0.113.9", "12-06-2026 19:05:07"));
    EXPECT_EQ(2, Host_GetCount());
    EXPECT_EQ("c.example.test", Read("Hosts", "Host3"));

    char value[32];
    EXPECT_EQ(11, Host_GetIPByIndex(3, value, sizeof value));
    EXPECT_STREQ("203.0.113.9", value);
    EXPECT_EQ(19, Host_GetUpdate("C.EXAMPLE.TEST", value, sizeof value));

    EXPECT_EQ(0, Host_Clean());
    EXPECT_EQ(0, Host_GetCount());
    EXPECT_EQ("<absent>", Read("Hosts", "Host1"));
    EXPECT_EQ("203.0.113.9", Read("c.example.test", "IP"));
    EXPECT_EQ("someone", Read("App", "Username"));
}

TEST_F(ConfigStore, HostStateReadsAreBoundedByTheBuffer)
{
    Host_SetIP("a.example.test", "203.0.113.100");
    char small[5];
    memset(small, 'x', sizeof small);
    EXPECT_EQ(4, Host_GetIP("a.example.test", small, sizeof small));
    EXPECT_STREQ("203.", small);
    EXPECT_EQ(0, Host_GetIP(NULL, small, sizeof small));
    EXPECT_EQ(0, Host_GetIP("a.example.test", NULL, 20));
    EXPECT_EQ(0, Host_SetStatus("a.example.test", NULL));
    EXPECT_EQ(0, Host_SetIP("", "1.2.3.4"));
}

TEST_F(ConfigStore, FlagsUseTheirOwnDefaults)
{
    EXPECT_EQ(3, GetStatus());
    EXPECT_EQ(-1, GetProxy());
    EXPECT_EQ(0, GetAuthed());
    EXPECT_EQ(0, IsFresh());

    Write("App", "Authed", "2");
    EXPECT_EQ(0, GetAuthed());
    SetAuthed(7);
    EXPECT_EQ("1", Read("App", "Authed"));
    EXPECT_EQ(1, GetAuthed());

    SetProxy(5);
    EXPECT_EQ(1, GetProxy());
    SetActive(0);
    EXPECT_EQ("0", Read("App", "Active"));
    SetStatus(2);
    EXPECT_EQ(2, GetStatus());
    Write("App", "Status", "bad");
    EXPECT_EQ(0, GetStatus());
    Write("App", "Fresh", "1");
    EXPECT_EQ(1, IsFresh());
}

// A process reads the file as it is now, never its earlier copy: a text
// another program wrote since, of the same size, is what it reads next.
TEST_F(ConfigStore, AReadSeesWhatAnotherProgramWroteSinceTheLast)
{
    WriteWholeFile(configFile, "[App]\r\nUsername=first\r\nProxy= 12 \r\n");
    EXPECT_EQ("first", Read("App", "Username"));
    EXPECT_EQ(12, Profile_ReadInt(configFile.c_str(), "App", "Proxy", -1));

    FILETIME written = {};
    {
        ScopedFile file(CreateFileA(configFile.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                    OPEN_EXISTING, 0, NULL));
        ASSERT_TRUE(GetFileTime(file.get(), NULL, NULL, &written));
    }
    WriteWholeFile(configFile, "[App]\r\nUsername=\"two\"\r\nProxy=-3  \r\n");
    // Written a second later, as another program's write would be.
    ULARGE_INTEGER later = {{written.dwLowDateTime, written.dwHighDateTime}};
    later.QuadPart += 10000000;
    written = {later.LowPart, later.HighPart};
    {
        ScopedFile file(CreateFileA(configFile.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    NULL, OPEN_EXISTING, 0, NULL));
        ASSERT_TRUE(SetFileTime(file.get(), NULL, NULL, &written));
    }
    EXPECT_EQ("two", Read("App", "Username")); // the quotes around a value are not part of it
    EXPECT_EQ(-3, Profile_ReadInt(configFile.c_str(), "App", "Proxy", -1));
}

TEST_F(ConfigStore, MissingDataFolderGivesDefaultsAndSilentFailures)
{
    // Whatever an earlier program left there goes too, or the folder stays.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dataFolder + "*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileA((dataFolder + found.cFileName).c_str());
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    ASSERT_TRUE(RemoveDirectoryA(dataFolder.c_str())) << GetLastError();
    EXPECT_EQ(0, SetStatus(1));
    EXPECT_EQ(0, Host_SetText(1, "a.example.test"));
    EXPECT_EQ(3, GetStatus());
    EXPECT_EQ(0, Host_GetCount());
    char list[16] = "";
    EXPECT_EQ(1, Host_GetDelString(list, sizeof list));
    EXPECT_FALSE(FileExists(configFile));
    ASSERT_TRUE(CreateDirectoryA(dataFolder.c_str(), NULL));
}

TEST(ConfigText, RemoveCharsKeepsOrderAndZeroesTheTail)
{
    char text[8] = "a:b c";
    text[6] = 'z';
    RemoveChars(text, sizeof text, " :");
    EXPECT_EQ(0, memcmp(text, "abc\0\0\0z", 7));
    char empty[1] = "";
    EXPECT_EQ(0, RemoveChars(empty, 1, ":"));
    EXPECT_EQ(0, RemoveChars(NULL, 4, ":"));
}

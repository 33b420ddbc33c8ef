// The configuration file is replaced whole: a writer killed at any moment
// leaves the old or the new file, and a commit writes exactly what the
// profile functions would have written.
#include "test_env.h"
#include "tallib.h"

#include <stdlib.h>

#include <string>
#include <vector>

class ConfigCommit : public DataFolderTest {
protected:
    std::string Read(const char *section, const char *key)
    {
        char value[64];
        Profile_ReadText(configFile.c_str(), section, key, "<absent>", value, sizeof value);
        return value;
    }
};

FILETIME LastWrite(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

const char kAccount[] = "[App]\r\nUsername=someone\r\nPassword=0a1b2c\r\n[Hosts]\r\nCount=2\r\n"
                        "Host1=a.example.test\r\nHost2=b.example.test\r\n";

// TALVEX_KILLS sets the number of kills (tools/kill-test.sh runs hundreds).
TEST_F(ConfigCommit, AWriterKilledAtAnyMomentLeavesTheWholeFile)
{
    const char *kills = getenv("TALVEX_KILLS");
    int count = kills ? atoi(kills) : 24;
    WriteWholeFile(configFile, kAccount);
    srand(GetTickCount());
    for (int i = 0; i < count; ++i) {
        std::string line = Quoted(ExeFolder() + "config_writer.exe") + (i % 2 ? " batch" : "");
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION writer = {};
        ASSERT_TRUE(CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &writer));
        // Killed a random moment after its first write, when it is writing.
        FILETIME before = LastWrite(configFile), now = before;
        for (DWORD start = GetTickCount(); CompareFileTime(&before, &now) == 0 && GetTickCount() - start < 10000;)
            now = LastWrite(configFile);
        Sleep(rand() % 60);
        TerminateProcess(writer.hProcess, 1);
        WaitForSingleObject(writer.hProcess, 10000);
        CloseHandle(writer.hThread);
        CloseHandle(writer.hProcess);

        std::string text = ReadWholeFile(configFile);
        ASSERT_EQ(0u, text.find("[App]\r\n")) << "kill " << i << " left:\n" << text;
        ASSERT_EQ("\r\n", text.substr(text.size() - 2)) << "kill " << i;
        ASSERT_EQ("someone", Read("App", "Username")) << "kill " << i;
        ASSERT_EQ("0a1b2c", Read("App", "Password")) << "kill " << i;
        ASSERT_EQ(2, Host_GetCount()) << "kill " << i;
        ASSERT_EQ("b.example.test", Read("Hosts", "Host2")) << "kill " << i;
    }
    // The next write removes the copies that killed writers left behind.
    ASSERT_EQ(1, SetStatus(0));
    WIN32_FIND_DATAA found;
    HANDLE left = FindFirstFileA((configFile + ".*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, left) << found.cFileName;
    if (left != INVALID_HANDLE_VALUE)
        FindClose(left);
    printf("%d kills, the file whole after each\n", count);
}

TEST_F(ConfigCommit, ALeftoverCopyIsNeverReadAndIsRemoved)
{
    std::string leftover = configFile + ".4242-7.tmp";
    WriteWholeFile(leftover, "[App]\r\nUsername=intruder\r\n");
    EXPECT_EQ("<absent>", Read("App", "Username"));
    WriteWholeFile(configFile, kAccount);
    EXPECT_EQ("someone", Read("App", "Username"));
    EXPECT_TRUE(FileExists(leftover));
    ASSERT_EQ(1, SetStatus(1));
    EXPECT_FALSE(FileExists(leftover));
    EXPECT_EQ("1", Read("App", "Status"));
}

// Missing, empty and unterminated files, mixed case and deletions: a batch
// and a single write give the bytes the system's own calls give.
TEST_F(ConfigCommit, WritesWhatTheProfileFunctionsWrite)
{
    const char *starts[] = {NULL, "", "[App]\r\nUsername=x", "[app]\r\nSTATUS=0\r\n\r\n[Hosts]\r\nCount=1\r\nHost1=a\r\n"};
    struct Edit { const char *section, *key, *value; };
    const Edit edits[] = {{"App", "Status", "2"}, {"hosts", "count", "3"}, {"New", "Key", "v"},
                          {"App", "Username", NULL}, {"Hosts", NULL, NULL}, {"Later", "Key", "w"}};
    std::string reference = dataFolder + "reference.ini";
    for (const char *start : starts) {
        DeleteFileA(configFile.c_str());
        DeleteFileA(reference.c_str());
        if (start) {
            WriteWholeFile(configFile, start);
            WriteWholeFile(reference, start);
        }
        WritePrivateProfileStringA(NULL, NULL, NULL, reference.c_str());
        ASSERT_EQ(1, Profile_BeginBatch(configFile.c_str()));
        for (const Edit &e : edits) {
            EXPECT_EQ(1, Profile_WriteText(configFile.c_str(), e.section, e.key, e.value));
            WritePrivateProfileStringA(e.section, e.key, e.value, reference.c_str());
            if (&e == edits) {
                EXPECT_EQ("2", Read("APP", "status")) << "the batch's own write is seen";
            }
        }
        EXPECT_EQ(1, Profile_EndBatch());
        EXPECT_EQ(1, Profile_WriteText(configFile.c_str(), "App", "Last", "z"));
        WritePrivateProfileStringA("App", "Last", "z", reference.c_str());
        EXPECT_EQ(ReadWholeFile(reference), ReadWholeFile(configFile)) << (start ? start : "(missing)");
    }
    DeleteFileA(reference.c_str());
}

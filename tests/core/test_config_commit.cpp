// The configuration is written behind a journal: a writer killed at any
// moment leaves the old or the new file once the next access has looked,
// and a commit writes exactly what the profile functions would have written.
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

        // The next reader puts back what a killed commit had saved.
        ASSERT_EQ("someone", Read("App", "Username")) << "kill " << i;
        std::string text = ReadWholeFile(configFile);
        ASSERT_EQ(0u, text.find("[App]\r\n")) << "kill " << i << " left:\n" << text;
        ASSERT_EQ("\r\n", text.substr(text.size() - 2)) << "kill " << i;
        ASSERT_EQ("0a1b2c", Read("App", "Password")) << "kill " << i;
        ASSERT_EQ(2, Host_GetCount()) << "kill " << i;
        ASSERT_EQ("b.example.test", Read("Hosts", "Host2")) << "kill " << i;
    }
    printf("%d kills, the file whole after each\n", count);
}

// A journal cut short by a crash before the file was touched, or one that
// is not a journal at all, is never put in the file's place.
TEST_F(ConfigCommit, AJournalCutShortOrOversizedIsNeverApplied)
{
    WriteWholeFile(configFile, kAccount);
    const std::string journal = configFile + ".journal";
    // In use, saying 64 bytes of old content follow, but only 11 came.
    const char cut[] = "TVXJ\x01\0\0\0\x05\0\0\0\0\0\0\0\x40\0\0\0\0\0\0\0[App]\r\nUser";
    const char foreign[] = "[App]\r\nUsername=intruder\r\n[Hosts]\r\nCount=0\r\n";
    // Whole and in use, with a true checksum, but larger than any configuration.
    std::string huge = std::string(foreign) + std::string(5 << 20, ' ');
    unsigned hash = 2166136261u;
    for (unsigned char c : huge)
        hash = (hash ^ c) * 16777619u;
    unsigned header[] = {1, 0, 0, (unsigned)huge.size(), hash};
    std::string oversized = "TVXJ" + std::string((const char *)header, sizeof header) + huge;
    for (const std::string &left : {std::string(cut, sizeof cut - 1), std::string(foreign), oversized}) {
        WriteWholeFile(journal, left);
        EXPECT_EQ("someone", Read("App", "Username"));
        ASSERT_EQ(1, SetStatus(1));
        EXPECT_EQ("1", Read("App", "Status"));
        EXPECT_EQ(2, Host_GetCount());
    }
}

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

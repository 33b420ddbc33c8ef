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

// What the system's profile reader reads from a file: every section's name
// and, for the first section of each name, its keys and values.
std::string ReadsOf(const std::string &path)
{
    WritePrivateProfileStringA(NULL, NULL, NULL, path.c_str());
    std::vector<char> names(8192), keys(8192);
    GetPrivateProfileSectionNamesA(names.data(), (DWORD)names.size(), path.c_str());
    std::string reads;
    for (const char *name = names.data(); *name; name += lstrlenA(name) + 1) {
        reads += std::string("[") + name + "]\n";
        GetPrivateProfileSectionA(name, keys.data(), (DWORD)keys.size(), path.c_str());
        for (const char *key = keys.data(); *key; key += lstrlenA(key) + 1)
            reads += std::string(key) + "\n";
    }
    return reads;
}

// The commit edits the text itself, written once; what it writes reads
// exactly as what the system's own writer makes of the same edits, and
// keeps the file's lines and line ends as found.
TEST_F(ConfigCommit, WritesWhatTheSystemsWriterMeans)
{
    struct Start { const char *text, *written; } starts[] = {
        {NULL, "[App]\r\nStatus=2\r\nvalue=a b = c\r\n[New]\r\nKey=v\r\n[Later]\r\nKey=w\r\n[App2]\r\nLast=z\r\n"},
        {"", NULL},
        {"[App]\r\nUsername=x", "[App]\r\nStatus=2\r\nvalue=a b = c\r\n[New]\r\nKey=v\r\n[Later]\r\nKey=w\r\n"
                                "[App2]\r\nLast=z\r\n"},
        {"[app]\r\nSTATUS=0\r\n\r\n[HOSTS]\r\nCount=1\r\nhost1=a\r\n",
         "[app]\r\nSTATUS=2\r\nvalue=a b = c\r\n\r\n[New]\r\nKey=v\r\n[Later]\r\nKey=w\r\n[App2]\r\nLast=z\r\n"},
        {"[App]\r\nStatus=0\r\nstatus=1\r\n[Hosts]\r\nCount=1\r\n[App]\r\nLast=old\r\n[hosts]\r\nCount=7\r\n", NULL},
        {"; written by hand\r\n[App]\r\n; the account\r\nUsername=x\r\n;Status=5\r\n[Hosts]\r\n; none\r\n", NULL},
        {"\r\n\r\n[App]\r\nUsername=x\r\n\r\n\r\n[Hosts]\r\nCount=1\r\n\r\n", NULL},
        {"[App]\r\nUsername=x\r\n[Hosts]", "[App]\r\nStatus=2\r\nvalue=a b = c\r\n[New]\r\nKey=v\r\n[Later]\r\nKey=w\r\n"
                                           "[App2]\r\nLast=z\r\n"},
        {"[App]\r\n  Username = some one = x \r\nValue = old = v\r\nStatus= 2 \r\n",
         "[App]\r\nValue=a b = c\r\nStatus= 2 \r\n[New]\r\nKey=v\r\n[Later]\r\nKey=w\r\n[App2]\r\nLast=z\r\n"},
        {"[App]\nUsername=x\n[Hosts]\nCount=1\n", "[App]\nStatus=2\nvalue=a b = c\n[New]\nKey=v\n[Later]\nKey=w\n"
                                                 "[App2]\nLast=z\n"},
    };
    struct Edit { const char *section, *key, *value; };
    const Edit edits[] = {{"App", "Status", "2"},   {"hosts", "count", "3"}, {"New", "Key", "v"},
                          {"App", "Username", NULL}, {"Hosts", NULL, NULL},  {"Later", "Key", "w"},
                          {"APP", "value", "a b = c"}};
    std::string reference = dataFolder + "reference.ini";
    for (const Start &start : starts) {
        const char *name = start.text ? start.text : "(missing)";
        DeleteFileA(configFile.c_str());
        DeleteFileA(reference.c_str());
        if (start.text) {
            WriteWholeFile(configFile, start.text);
            WriteWholeFile(reference, start.text);
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
        EXPECT_EQ(1, Profile_WriteText(configFile.c_str(), "App2", "Last", "z"));
        WritePrivateProfileStringA("App2", "Last", "z", reference.c_str());
        EXPECT_EQ(ReadsOf(reference), ReadsOf(configFile)) << name << "\nwritten:\n" << ReadWholeFile(configFile);
        if (start.written) {
            EXPECT_EQ(start.written, ReadWholeFile(configFile)) << name;
        }
    }
    DeleteFileA(reference.c_str());
}

// An elevated writer (the utility, the installer's helper) never writes the
// configuration through a second name someone made for it elsewhere.
TEST_F(ConfigCommit, AConfigurationWithASecondNameIsNotWritten)
{
    WriteWholeFile(configFile, kAccount);
    std::string second = dataFolder + "second-name.ini";
    ASSERT_TRUE(CreateHardLinkA(second.c_str(), configFile.c_str(), NULL)) << GetLastError();
    EXPECT_EQ(0, SetStatus(2));
    EXPECT_EQ(kAccount, ReadWholeFile(configFile));
    ASSERT_TRUE(DeleteFileA(second.c_str()));
    EXPECT_EQ(1, SetStatus(2));
    EXPECT_EQ("2", Read("App", "Status"));
}

// The first save into the empty file the installer made, killed after the
// file was partly written: the journal in use holds the empty text, exactly
// one header long, and readers put it back instead of reading the part.
TEST_F(ConfigCommit, AFirstSaveIntoAnEmptyFileKilledPartWayReadsEmpty)
{
    const std::string journal = configFile + ".journal";
    unsigned header[] = {1, 0, 0, 0, 2166136261u}; // in use, no commit yet, no text, its checksum
    for (int round = 0; round < 2; ++round) {
        WriteWholeFile(journal, "TVXJ" + std::string((const char *)header, sizeof header));
        WriteWholeFile(configFile, "[App]\r\nUsername=someone\r\nPass");
        if (round == 0) {
            EXPECT_EQ("<absent>", Read("App", "Username")) << "a reader";
        } else {
            EXPECT_EQ(1, SetStatus(1)) << "a writer";
        }
        EXPECT_EQ(round == 0 ? "" : "[App]\r\nStatus=1\r\n", ReadWholeFile(configFile));
    }
}

struct Hold {
    HANDLE file;
    DWORD ms;
};

DWORD WINAPI CloseAfter(void *param)
{
    Hold *hold = (Hold *)param;
    Sleep(hold->ms);
    CloseHandle(hold->file);
    return 0;
}

// A virus scanner or a backup holding the journal for a moment delays a
// write; one holding it past the wait makes the write fail, changing nothing.
TEST_F(ConfigCommit, AJournalHeldByAnotherProgramIsWaitedForAMoment)
{
    WriteWholeFile(configFile, kAccount);
    const std::string journal = configFile + ".journal";
    for (DWORD holdMs : {300, 4000}) {
        HANDLE file = CreateFileA(journal.c_str(), GENERIC_READ, 0, NULL, OPEN_ALWAYS, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        Hold hold = {file, holdMs};
        HANDLE releaser = CreateThread(NULL, 0, CloseAfter, &hold, 0, NULL);
        int written = SetStatus(holdMs < 2000 ? 1 : 2);
        WaitForSingleObject(releaser, INFINITE);
        CloseHandle(releaser);
        EXPECT_EQ(holdMs < 2000 ? 1 : 0, written) << "held " << holdMs << " ms";
        EXPECT_NE(std::string::npos, ReadWholeFile(configFile).find("Status=1\r\n")) << "held " << holdMs << " ms";
        // The write that failed is kept, and this process reads it.
        EXPECT_EQ(holdMs < 2000 ? "1" : "2", Read("App", "Status")) << "held " << holdMs << " ms";
    }
}

// The journal's and the kept edits' rules, case by case, with the storage
// code built into the test: a write can fail where a disk would
// (commit_faults.h), the records it logs are the test's own, and TalLib.dll
// loaded beside it is another program writing the same file.
#include "commit_faults.h"
#undef WriteFile

#include "held_lock_byte.h"
#include "internal.h"
#include "tallib.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

// ---- What the storage code calls outside itself ---------------------------

int g_idleWriteFailures = 0;
std::vector<std::string> g_records;

BOOL WriteOrFail(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    // A journal's bare header saying idle: the write that marks it so.
    const DWORD idle[2] = {0x4A585654, 0}; // "TVXJ", idle
    if (g_idleWriteFailures > 0 && size == 24 && memcmp(data, idle, sizeof idle) == 0) {
        --g_idleWriteFailures;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return WriteFile(file, data, size, written, overlapped);
}

int TALAPI LogAndSignal(const char *message, int, unsigned)
{
    g_records.push_back(message);
    return 1;
}
void ReportConfigNotSaved(const char *, const char *) {}
void ReportConfigPutBack(const char *) {}
bool MayWriteInDataFolder(const char *) { return true; }
// The test's files stand in a folder of its own: only the opening itself.
DWORD OpenPlainDataFile(const char *path, DWORD access, DWORD share, DWORD disposition, ScopedFile &file)
{
    file.reset(CreateFileA(path, access, share, NULL, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                           NULL));
    return file ? ERROR_SUCCESS : GetLastError();
}
// The data folder's lock file, the one TalLib.dll loaded beside locks too.
const TalPaths &Paths()
{
    static TalPaths paths = [] {
        TalPaths made = {};
        SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA, NULL, SHGFP_TYPE_CURRENT, made.lockFile);
        lstrcatA(made.lockFile, "\\Talvex\\Updater\\talvex.lock");
        return made;
    }();
    return paths;
}

namespace {

const char kStart[] = "[App]\r\nStatus=0\r\nLastIP=203.0.113.7\r\n[home.example.test]\r\nIP=203.0.113.7\r\n";
const char kHost[] = "home.example.test";

std::string ReadAll(const std::string &path)
{
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                0, NULL));
    std::string text(1 << 16, '\0');
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), text.data(), (DWORD)text.size(), &read, NULL))
        return "<unreadable>";
    text.resize(read);
    return text;
}

void WriteAll(const std::string &path, const std::string &text)
{
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    DWORD written = 0;
    ASSERT_TRUE(file && WriteFile(file.get(), text.data(), (DWORD)text.size(), &written, NULL));
}

// A journal as a commit leaves it: in use with the whole old text, or idle.
std::string Journal(bool inUse, unsigned long long changes, const std::string &saved)
{
    unsigned hash = 2166136261u;
    for (unsigned char c : saved)
        hash = (hash ^ c) * 16777619u;
    DWORD state = inUse ? 1 : 0, length = (DWORD)saved.size();
    std::string header = "TVXJ";
    header.append((const char *)&state, 4).append((const char *)&changes, 8).append((const char *)&length, 4);
    header.append((const char *)&hash, 4);
    return header + saved;
}

bool JournalInUse(const std::string &path)
{
    std::string journal = ReadAll(path);
    return journal.size() >= 8 && journal[4] == 1;
}

int CountRecords(const char *text)
{
    int count = 0;
    for (const std::string &record : g_records)
        count += record.find(text) != std::string::npos;
    return count;
}

} // namespace

class ConfigRules : public ::testing::Test {
public: // the case table's steps act through these
    void SetUp() override
    {
        char appData[MAX_PATH];
        SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA, NULL, SHGFP_TYPE_CURRENT, appData);
        std::string folder = std::string(appData) + "\\Talvex";
        CreateDirectoryA(folder.c_str(), NULL);
        CreateDirectoryA((folder += "\\Updater").c_str(), NULL);
        config = folder + "\\rules.talvex";
        journal = config + ".journal";
        other = LoadLibraryA("TalLib.dll");
        ASSERT_TRUE(other) << GetLastError();
        otherWrite = (WriteFn)(void *)GetProcAddress(other, "Profile_WriteText");
        otherRead = (ReadFn)(void *)GetProcAddress(other, "Profile_ReadText");
    }
    void TearDown() override
    {
        FreeLibrary(other);
        DeleteFileA(config.c_str());
        DeleteFileA(journal.c_str());
    }

    std::string Read(const char *section, const char *key)
    {
        char value[64];
        Profile_ReadText(config.c_str(), section, key, "<absent>", value, sizeof value);
        return value;
    }
    int Write(const char *section, const char *key, const char *value)
    {
        return Profile_WriteText(config.c_str(), section, key, value);
    }
    // Another program's read and write of the same file.
    std::string OtherRead(const char *section, const char *key)
    {
        char value[64];
        otherRead(config.c_str(), section, key, "<absent>", value, sizeof value);
        return value;
    }
    int OtherWrite(const char *section, const char *key, const char *value)
    {
        return otherWrite(config.c_str(), section, key, value);
    }
    // Another program holding the configuration file, shared with nobody.
    ScopedFile HoldFile()
    {
        return ScopedFile(CreateFileA(config.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL));
    }

    using WriteFn = int(TALAPI *)(const char *, const char *, const char *, const char *);
    using ReadFn = int(TALAPI *)(const char *, const char *, const char *, const char *, char *, int);
    std::string config, journal;
    HMODULE other = NULL;
    WriteFn otherWrite = nullptr;
    ReadFn otherRead = nullptr;
};

TEST_F(ConfigRules, EveryCommitEndsWholeAndNothingKeptIsLostOrReplayedOverANewerValue)
{
    struct Case {
        const char *story;
        std::function<void(ConfigRules &)> steps;
        const char *file;      // the configuration once the steps are done
        const char *recorded;  // a record the steps leave, once
        int unsaved;           // records of a failed commit
    } cases[] = {
        {"a writer killed after it cut the file: the next reader puts the old text back",
         [](ConfigRules &t) {
             WriteAll(t.journal, Journal(true, 1000, kStart));
             WriteAll(t.config, "[App]\r\nStatus=1\r\nLas");
             EXPECT_EQ("0", t.Read("App", "Status"));
             EXPECT_EQ(1, t.Write("App", "Status", "2"));
         },
         "[App]\r\nStatus=2\r\nLastIP=203.0.113.7\r\n[home.example.test]\r\nIP=203.0.113.7\r\n",
         "put back as it was", 0},
        {"the idle mark fails once: tried again, the commit is done",
         [](ConfigRules &t) {
             g_idleWriteFailures = 1;
             EXPECT_EQ(1, t.Write("App", "Status", "1"));
             EXPECT_FALSE(JournalInUse(t.journal));
         },
         "[App]\r\nStatus=1\r\nLastIP=203.0.113.7\r\n[home.example.test]\r\nIP=203.0.113.7\r\n", NULL, 0},
        {"the idle mark keeps failing: the commit fails, its edit is kept, read, and written later",
         [](ConfigRules &t) {
             g_idleWriteFailures = 1000;
             EXPECT_EQ(0, t.Write(kHost, "IP", "203.0.113.8"));
             g_idleWriteFailures = 0;
             EXPECT_TRUE(JournalInUse(t.journal)) << "the old text stays ready to be put back";
             EXPECT_EQ("203.0.113.7", t.OtherRead(kHost, "IP")) << "another program reads the old text";
             EXPECT_EQ("203.0.113.8", t.Read(kHost, "IP")) << "this process reads what it keeps";
             EXPECT_EQ(1, t.Write("App", "Status", "1"));
         },
         "[App]\r\nStatus=1\r\nLastIP=203.0.113.7\r\n[home.example.test]\r\nIP=203.0.113.8\r\n",
         "Unable to save the configuration: Windows error 112", 1},
        {"another program writes a kept key before the next commit that works: its value stays",
         [](ConfigRules &t) {
             EXPECT_EQ("203.0.113.7", t.Read(kHost, "IP")); // a pass reads before it writes
             {
                 ScopedFile held = t.HoldFile();
                 ASSERT_TRUE(held);
                 ASSERT_EQ(1, Profile_BeginBatch(t.config.c_str()));
                 t.Write(kHost, "IP", "203.0.113.8");
                 t.Write("App", "Status", "1");
                 EXPECT_EQ(0, Profile_EndBatch());
             }
             EXPECT_EQ(1, t.OtherWrite(kHost, "IP", "198.51.100.1"));
             EXPECT_EQ("198.51.100.1", t.Read(kHost, "IP"));
             EXPECT_EQ("1", t.Read("App", "Status"));
             EXPECT_EQ(1, t.Write("App", "LastIP", "203.0.113.9"));
         },
         "[App]\r\nStatus=1\r\nLastIP=203.0.113.9\r\n[home.example.test]\r\nIP=198.51.100.1\r\n",
         "The configuration is saved again", 1},
        {"an edit the file cannot hold fails alone; the rest of its batch is written",
         [](ConfigRules &t) {
             ASSERT_EQ(1, Profile_BeginBatch(t.config.c_str()));
             EXPECT_EQ(1, t.Write(kHost, "IP", "203.0.113.8"));
             EXPECT_EQ(0, t.Write("bad]host.example.test", "IP", "203.0.113.8"));
             EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
             EXPECT_EQ(0, t.Write("App", "Last\nIP", "x"));
             EXPECT_EQ(1, t.Write("App", "Status", "1"));
             EXPECT_EQ(1, Profile_EndBatch());
             EXPECT_EQ(0, t.Write("bad]host.example.test", "IP", "203.0.113.8")) << "said once";
             EXPECT_EQ(1, t.Write("App", "Status", "2")) << "nothing refused is kept";
         },
         "[App]\r\nStatus=2\r\nLastIP=203.0.113.7\r\n[home.example.test]\r\nIP=203.0.113.8\r\n",
         "Not saved: [bad]host.example.test] IP cannot be written", 0},
        {"a reader without the lock reads the last whole text and writes nothing",
         [](ConfigRules &t) {
             WriteAll(t.journal, Journal(true, 2000, kStart));
             WriteAll(t.config, "[App]\r\nStatus=1\r\nLas");
             {
                 HeldLockByte holder(Paths().lockFile, 0); // another program holds the lock
                 EXPECT_EQ("0", t.Read("App", "Status"));
                 EXPECT_EQ("[App]\r\nStatus=1\r\nLas", ReadAll(t.config));
                 EXPECT_TRUE(JournalInUse(t.journal));
             }
             EXPECT_EQ("0", t.Read("App", "Status")) << "the lock's owner puts it back";
         },
         kStart, "put back as it was", 0},
        {"a save reported as failed is never written later",
         [](ConfigRules &t) {
             {
                 ScopedFile held = t.HoldFile();
                 ASSERT_TRUE(held);
                 ASSERT_EQ(1, Profile_BeginBatch(t.config.c_str()));
                 t.Write("App", "Username", "someone");
                 EXPECT_EQ(0, Profile_EndBatchOrDrop());
             }
             EXPECT_EQ("<absent>", t.Read("App", "Username"));
             EXPECT_EQ(1, t.Write("App", "Status", "1"));
         },
         "[App]\r\nStatus=1\r\nLastIP=203.0.113.7\r\n[home.example.test]\r\nIP=203.0.113.7\r\n",
         "Unable to save the configuration: Windows error 32", 1},
        {"another program's same-size commit within one tick of the clock is seen",
         [](ConfigRules &t) {
             EXPECT_EQ("203.0.113.7", t.Read(kHost, "IP"));
             FILETIME before = {};
             {
                 ScopedFile file(CreateFileA(t.config.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             NULL, OPEN_EXISTING, 0, NULL));
                 GetFileTime(file.get(), NULL, NULL, &before);
             }
             EXPECT_EQ(1, t.OtherWrite(kHost, "IP", "203.0.113.9"));
             ScopedFile file(CreateFileA(t.config.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         NULL, OPEN_EXISTING, 0, NULL));
             ASSERT_TRUE(SetFileTime(file.get(), NULL, NULL, &before));
             file.reset();
             EXPECT_EQ("203.0.113.9", t.Read(kHost, "IP"));
         },
         "[App]\r\nStatus=0\r\nLastIP=203.0.113.7\r\n[home.example.test]\r\nIP=203.0.113.9\r\n", NULL, 0},
    };
    unsigned long long changes = 5000;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.story);
        // As on a machine, the journal's counter only grows.
        WriteAll(journal, Journal(false, changes += 100, ""));
        WriteAll(config, kStart);
        g_records.clear();
        c.steps(*this);
        EXPECT_EQ(c.file, ReadAll(config));
        EXPECT_FALSE(JournalInUse(journal));
        if (c.recorded) {
            EXPECT_EQ(1, CountRecords(c.recorded)) << (g_records.empty() ? "" : g_records.front());
        }
        EXPECT_EQ(c.unsaved, CountRecords("Unable to save"));
    }
}

// A configuration saved as UTF-16 (PowerShell's Out-File, Notepad's
// "Unicode") reads as the account it holds and stays UTF-16 when written,
// every character of its other lines kept.
TEST_F(ConfigRules, AUtf16ConfigurationIsReadAndWrittenAsUtf16)
{
    auto utf16 = [](const std::wstring &text) {
        std::string bytes = "\xFF\xFE";
        for (wchar_t c : text)
            bytes.append(1, (char)(c & 0xFF)).append(1, (char)(c >> 8));
        return bytes;
    };
    WriteAll(config, utf16(L"; Z\u00fcrich \u2603\r\n[App]\r\nUsername=demo\r\n[home.example.test]\r\nIP=203.0.113.7\r\n"));
    EXPECT_EQ("demo", Read("App", "Username"));
    EXPECT_EQ(1, Write(kHost, "IP", "203.0.113.8"));
    EXPECT_EQ(1, Write("App", "Status", "0"));
    EXPECT_EQ(utf16(L"; Z\u00fcrich \u2603\r\n[App]\r\nUsername=demo\r\nStatus=0\r\n[home.example.test]\r\n"
                    L"IP=203.0.113.8\r\n"),
              ReadAll(config));
    EXPECT_EQ("203.0.113.8", OtherRead(kHost, "IP"));
    WritePrivateProfileStringA(NULL, NULL, NULL, config.c_str());
    char system[32];
    GetPrivateProfileStringA(kHost, "IP", "", system, sizeof system, config.c_str());
    EXPECT_STREQ("203.0.113.8", system) << "the system's reader reads it too";
}

// Start at logon: the Startup-folder shortcuts read back through the shell
// link interface, the notification icon started once, and the updater
// service's start type switched instead of a shortcut. Runs from its own
// folder beside stub programs, so that what is started is a stub.
#include "test_env.h"
#include "test_windows.h"
#include "scoped.h"
#include "signals.h"
#include "tallib.h"

#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <thread>

namespace {

std::string StartupFolder()
{
    char folder[MAX_PATH] = "";
    EXPECT_TRUE(SUCCEEDED(SHGetFolderPathA(NULL, CSIDL_COMMON_STARTUP, NULL, SHGFP_TYPE_CURRENT, folder)));
    return folder;
}

const std::string kTrayLink = "\\Talvex Updater Tray Icon.lnk";
const std::string kUpdaterLink = "\\Talvex Updater.lnk";

struct LinkText {
    std::string target;
    std::string description;
};

LinkText ReadLink(const std::string &path)
{
    LinkText text;
    ScopedCom com;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    wchar_t widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.out())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.out())) && SUCCEEDED(file->Load(widePath, STGM_READ))) {
        char buffer[MAX_PATH] = "";
        if (SUCCEEDED(link->GetPath(buffer, sizeof buffer, NULL, SLGP_RAWPATH)))
            text.target = buffer;
        buffer[0] = '\0';
        if (SUCCEEDED(link->GetDescription(buffer, sizeof buffer)))
            text.description = buffer;
    }
    return text;
}

// CreateLink on a thread of its own; `apartment` is the COM apartment the
// thread is in before the call, or -1 for none.
int CreateLinkOnThread(const std::string &path, int apartment)
{
    int result = 1;
    std::thread worker([&] {
        if (apartment >= 0)
            CoInitializeEx(NULL, (DWORD)apartment);
        result = CreateLink("C:\\windows\\notepad.exe", path.c_str(), "From a worker thread");
        if (apartment >= 0)
            CoUninitialize();
    });
    worker.join();
    return result;
}

FILETIME WriteTime(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// Moves the file's write time a day back and returns it, so that writing
// the file again shows at once, however coarse the file system's clock.
FILETIME AgeFile(const std::string &path)
{
    FILETIME written = WriteTime(path);
    ULARGE_INTEGER value = {{written.dwLowDateTime, written.dwHighDateTime}};
    value.QuadPart -= 24ull * 3600 * 10000000;
    written.dwLowDateTime = value.LowPart;
    written.dwHighDateTime = value.HighPart;
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    EXPECT_NE(INVALID_HANDLE_VALUE, file) << path;
    if (file != INVALID_HANDLE_VALUE) {
        SetFileTime(file, NULL, NULL, &written);
        CloseHandle(file);
    }
    return WriteTime(path);
}

// The updater service, registered for one test on demand start and
// deleted again whatever the outcome: a service left on automatic start
// would be started by every later Wine server.
class TestService {
public:
    TestService()
    {
        Delete(); // a leftover of an interrupted run
        SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
        char binary[MAX_PATH];
        GetSystemDirectoryA(binary, MAX_PATH);
        path = std::string(binary) + "\\notepad.exe";
        SC_HANDLE service = manager ? CreateServiceA(manager, kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                     SERVICE_ERROR_IGNORE, path.c_str(), NULL, NULL, NULL, NULL, NULL)
                                    : NULL;
        created = service != NULL;
        if (service)
            CloseServiceHandle(service);
        if (manager)
            CloseServiceHandle(manager);
    }
    ~TestService() { Delete(); }
    TestService(const TestService &) = delete;
    TestService &operator=(const TestService &) = delete;

    static void Delete()
    {
        SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE service = manager ? OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS) : NULL;
        if (service) {
            DeleteService(service);
            CloseServiceHandle(service);
        }
        if (manager)
            CloseServiceHandle(manager);
    }

    // The start type and binary path as the manager holds them.
    DWORD StartType(std::string *binary = NULL)
    {
        DWORD startType = 0xFFFFFFFF;
        SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
        SC_HANDLE service = manager ? OpenServiceA(manager, kServiceName, SERVICE_QUERY_CONFIG) : NULL;
        union {
            QUERY_SERVICE_CONFIGA config;
            char bytes[8192];
        } buffer;
        DWORD needed = 0;
        if (service && QueryServiceConfigA(service, &buffer.config, sizeof buffer, &needed)) {
            startType = buffer.config.dwStartType;
            if (binary)
                *binary = buffer.config.lpBinaryPathName;
        }
        if (service)
            CloseServiceHandle(service);
        if (manager)
            CloseServiceHandle(manager);
        return startType;
    }

    bool created = false;
    std::string path;
};

class Shortcuts : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        folder = StartupFolder();
        DeleteFileA((folder + kTrayLink).c_str());
        DeleteFileA((folder + kUpdaterLink).c_str());
        DeleteFileA(startedFile().c_str());
    }
    void TearDown() override
    {
        DeleteFileA((folder + kTrayLink).c_str());
        DeleteFileA((folder + kUpdaterLink).c_str());
        DeleteFileA(startedFile().c_str());
        DataFolderTest::TearDown();
    }
    std::string startedFile() const { return dataFolder + "started.txt"; }
    // The stubs' start records, once every stub the shell started has
    // ended: a second start would be recorded by then.
    std::string Started()
    {
        EXPECT_TRUE(WaitForProgramsToEnd(ExeFolder(), {"TalTray.exe", "TalUpPs.exe"})) << "a stub never ended";
        return ReadWholeFile(startedFile());
    }

    std::string folder;
};

} // namespace

TEST_F(Shortcuts, CreateLinkWritesTargetAndDescription)
{
    std::string path = folder + "\\Talvex Test Link.lnk";
    EXPECT_EQ(0, CreateLink("C:\\windows\\notepad.exe", path.c_str(), "A test link"));
    LinkText link = ReadLink(path);
    EXPECT_EQ("C:\\windows\\notepad.exe", link.target);
    EXPECT_EQ("A test link", link.description);
    DeleteFileA(path.c_str());

    EXPECT_LT(CreateLink("C:\\windows\\notepad.exe", "C:\\no\\such\\folder\\x.lnk", "x"), 0)
        << "a COM failure status";
}

// The configuration utility makes shortcuts from worker threads: COM is
// joined per call, whatever the thread did before.
TEST_F(Shortcuts, CreateLinkWorksFromAnyThread)
{
    const int apartments[] = {-1, COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED};
    for (int apartment : apartments) {
        std::string path = folder + "\\Talvex Thread Link.lnk";
        EXPECT_EQ(0, CreateLinkOnThread(path, apartment)) << "apartment " << apartment;
        EXPECT_EQ("From a worker thread", ReadLink(path).description) << "apartment " << apartment;
        DeleteFileA(path.c_str());
    }
}

TEST_F(Shortcuts, TheIconsShortcutIsMadeOnceAndTheIconStartedOnce)
{
    std::string path = folder + kTrayLink;
    EXPECT_GT(CreateTrayIconShortcut(), 32) << "the shell started the icon";
    LinkText link = ReadLink(path);
    EXPECT_EQ(ExeFolder() + "TalTray.exe", link.target);
    EXPECT_EQ("Talvex Updater Tray Icon", link.description);
    std::string started = Started();
    EXPECT_EQ(0u, started.find("TalTray.exe||")) << "started without arguments";
    EXPECT_EQ(1, CountOccurrences(started, "TalTray.exe|")) << "started once";

    // The icon now runs: its window is found and nothing is made again.
    DeleteFileA(startedFile().c_str());
    FILETIME written = AgeFile(path);
    TestWindow icon(kTrayClass, kTrayTitle);
    EXPECT_EQ((int)(INT_PTR)icon.handle(), CreateTrayIconShortcut());
    EXPECT_EQ("", Started());
    FILETIME after = WriteTime(path);
    EXPECT_EQ(0, CompareFileTime(&written, &after)) << "the shortcut was not written again";

    // Removing it also tells the icon to quit.
    EXPECT_EQ(kQuitAnswer, KillTrayIconShortcut());
    EXPECT_EQ((UINT)WM_QUIT, TestWindow::received.message);
    EXPECT_FALSE(FileExists(path));
}

TEST_F(Shortcuts, RemovingWhatIsAbsentDoesNothing)
{
    EXPECT_EQ(0, KillTrayIconShortcut());
    EXPECT_EQ(1, KillStartupShortcut());
    EXPECT_FALSE(FileExists(folder + kTrayLink));
    EXPECT_FALSE(FileExists(folder + kUpdaterLink));
    EXPECT_EQ("", Started());
}

TEST_F(Shortcuts, AnExistingShortcutIsKeptEvenWhenItPointsElsewhere)
{
    std::string path = folder + kTrayLink;
    ASSERT_EQ(0, CreateLink("C:\\windows\\notepad.exe", path.c_str(), "Someone else's"));
    TestWindow icon(kTrayClass, kTrayTitle);
    CreateTrayIconShortcut();
    EXPECT_EQ("C:\\windows\\notepad.exe", ReadLink(path).target);
}

TEST_F(Shortcuts, WithoutTheServiceTheUpdaterStartsFromItsShortcut)
{
    std::string path = folder + kUpdaterLink;
    EXPECT_EQ(1, CreateStartupShortcut());
    LinkText link = ReadLink(path);
    EXPECT_EQ(ExeFolder() + "TalUpPs.exe", link.target);
    EXPECT_EQ("Talvex Updater", link.description);
    FILETIME written = AgeFile(path);
    EXPECT_EQ(1, CreateStartupShortcut());
    FILETIME after = WriteTime(path);
    EXPECT_EQ(0, CompareFileTime(&written, &after)) << "created once";

    EXPECT_EQ(1, KillStartupShortcut());
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ("", Started()) << "nothing is started";
}

TEST_F(Shortcuts, WithTheServiceInstalledOnlyItsStartTypeChanges)
{
    TestService service;
    ASSERT_TRUE(service.created) << "could not register the test service";
    ASSERT_EQ((DWORD)SERVICE_DEMAND_START, service.StartType());

    std::string path = folder + kUpdaterLink;
    ASSERT_EQ(0, CreateLink("C:\\windows\\notepad.exe", path.c_str(), "Talvex Updater"));
    EXPECT_EQ(1, KillStartupShortcut());
    std::string binary;
    EXPECT_EQ((DWORD)SERVICE_DISABLED, service.StartType(&binary));
    EXPECT_EQ(service.path, binary) << "nothing else changed";
    EXPECT_TRUE(FileExists(path)) << "the shortcut is left alone";

    DeleteFileA(path.c_str());
    EXPECT_EQ(1, CreateStartupShortcut());
    EXPECT_EQ((DWORD)SERVICE_AUTO_START, service.StartType(&binary));
    EXPECT_EQ(service.path, binary);
    EXPECT_FALSE(FileExists(path)) << "no shortcut for a service";
}

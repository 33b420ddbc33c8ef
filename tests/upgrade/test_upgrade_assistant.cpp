// The upgrade assistant TalUpUp as a user meets it, against the local
// Talvex service: what each version-check outcome shows, ignoring a
// version, one window at a time, its size at 144 dots per inch, and the
// installer download: saved in a folder of its own that only the user,
// Administrators and SYSTEM may write, started silently into the program
// folder when whole and removed with its folder once it has run, stopped
// and removed when the window closes during it, refused and explained
// otherwise.
#include "service_control.h"
#include "test_env.h"
#include "window_picture.h"

#include "config_keys.h"
#include "scoped.h"
#include "signals.h"

#include <gtest/gtest.h>
#include "test_windows.h"

#include <oleacc.h>

#include <windows.h>

#include <stdlib.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// What the stand-in installer recorded (stub_setup.cpp), read whole or not at all.
struct SetupRecord {
    bool whole = false;
    std::string arguments, path, security;
    size_t size = 0;
};

SetupRecord ReadRecord(const std::string &file)
{
    SetupRecord record;
    std::string text = ReadWholeFile(file), lines[3];
    size_t at = 0;
    for (std::string &line : lines) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos)
            return record;
        line = text.substr(at, end - at);
        at = end + 2;
    }
    size_t bar = lines[1].rfind('|');
    record.arguments = lines[0];
    record.path = lines[1].substr(0, bar);
    record.size = bar == std::string::npos ? 0 : strtoul(lines[1].c_str() + bar + 1, NULL, 10);
    record.security = lines[2];
    record.whole = true;
    return record;
}

std::string TempFolder()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    return temp;
}

// The assistant's download folders that exist now (download_folder.h).
std::vector<std::string> DownloadFolders()
{
    std::vector<std::string> folders;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((TempFolder() + "TalvexUpgrade-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return folders;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back(TempFolder() + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return folders;
}

void RemoveDownloadFolders()
{
    for (const std::string &folder : DownloadFolders()) {
        DeleteFileA((folder + "\\setup.exe").c_str());
        RemoveDirectoryA(folder.c_str());
    }
}

bool NoDownloadFolderLeft()
{
    return PumpUntil([] { return DownloadFolders().empty(); });
}

const int kUpgradeNow = 200, kIgnore = 201, kClose = 202, kHeading = 203, kMessage = 204, kLatest = 206,
          kProgress = 207, kCheckAgain = 208;

// Runs the message loop of this thread for a while, so that windows of the
// test answer what other programs send them.


std::string TextOf(HWND control)
{
    char text[256] = "";
    GetWindowTextA(control, text, sizeof text);
    return text;
}

int CountAssistantWindows()
{
    int count = 0;
    for (HWND w = FindWindowExA(NULL, NULL, kUpgradeClass, NULL); w; w = FindWindowExA(NULL, w, kUpgradeClass, NULL))
        ++count;
    return count;
}

// The configuration utility's window, as far as the assistant sees it.
LRESULT CALLBACK FakeConfigProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER)
        SetPropA(window, "code", (HANDLE)wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

class Assistant : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        service::Reset();
        // The stand-in records where the test reads it, wherever it runs from.
        ranFile = dataFolder + "setup-ran.txt";
        SetEnvironmentVariableA("TALVEX_STUB_RECORD", ranFile.c_str());
        DeleteFileA(ranFile.c_str());
        RemoveDownloadFolders();
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("TALVEX_STUB_WAIT", NULL);
        Stop();
        RemoveDownloadFolders();
        DeleteFileA(ranFile.c_str());
        service::Reset();
        DataFolderTest::TearDown();
    }

    // Starts TalUpUp and waits until its version check has an outcome.
    void Start()
    {
        std::string command = Quoted(ExeFolder() + "TalUpUp.exe");
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(CreateProcessA(NULL, command.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
        CloseHandle(pi.hThread);
        process = pi.hProcess;
        ASSERT_TRUE(PumpUntil([&] {
            window = FindWindowA(kUpgradeClass, NULL);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            return window && owner == pi.dwProcessId;
        }));
        ASSERT_TRUE(PumpUntil([&] {
            std::string latest = Text(kLatest);
            return latest == "Unknown" || latest.rfind("4.0.", 0) == 0;
        }));
        ASSERT_TRUE(Settled());
    }
    // The version label is set first, the buttons after it, all on the
    // window's thread: once that thread answers again the outcome is whole.
    bool Settled()
    {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored) != 0;
    }
    // Ends TalUpUp (as its close box would) and waits for it.
    void Stop()
    {
        if (!process)
            return;
        if (IsWindow(window))
            PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(Exited(10000));
        CloseHandle(process);
        process = NULL;
    }
    bool Exited(DWORD ms)
    {
        return PumpUntil([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, ms);
    }
    HWND Item(int id) { return GetDlgItem(window, id); }
    std::string Text(int id) { return TextOf(Item(id)); }
    bool Usable(int id) { return IsWindowVisible(Item(id)) && IsWindowEnabled(Item(id)); }
    void Click(int id) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)Item(id)); }
    void ServeInstaller(bool announceLength)
    {
        service::Post("/control/download", std::string("{\"file\": ") + service::Quote(STUB_SETUP_FILE) +
                                               ", \"content_length\": " + (announceLength ? "true" : "false") + "}");
    }
    void ExpectOffer(const char *version)
    {
        EXPECT_EQ(version, Text(kLatest));
        EXPECT_EQ("A new version is available!", Text(kHeading));
        EXPECT_TRUE(Usable(kUpgradeNow));
        EXPECT_TRUE(Usable(kIgnore));
        EXPECT_FALSE(IsWindowVisible(Item(kCheckAgain)));
        EXPECT_FALSE(IsWindowEnabled(Item(kCheckAgain)));
    }
    void ExpectCheckAgainOnly()
    {
        EXPECT_TRUE(Usable(kCheckAgain));
        EXPECT_FALSE(IsWindowVisible(Item(kUpgradeNow)));
        EXPECT_FALSE(IsWindowVisible(Item(kIgnore)));
        EXPECT_FALSE(IsWindowVisible(Item(kProgress)));
    }
    // Offer 4.0.9, press "Upgrade Now" and wait until the download is over.
    void Download()
    {
        service::SetVersion("4.0.9");
        Start();
        ExpectOffer("4.0.9");
        Click(kUpgradeNow);
        // "&Close" is disabled before the heading changes and enabled again at the end.
        ASSERT_TRUE(PumpUntil([&] {
            return Text(kHeading) != "A new version is available!" && IsWindowEnabled(Item(kClose));
        }));
    }

    // Waits for the stand-in's whole record; false when none came.
    bool Ran(SetupRecord &record)
    {
        return PumpUntil([&] { return (record = ReadRecord(ranFile)).whole; });
    }

    HANDLE process = NULL;
    HWND window = NULL;
    std::string ranFile;
};

TEST_F(Assistant, OfferOfANewerVersionThenIgnoringItStoresItAndTellsTheConfigurationUtility)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FakeConfigProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = kConfigClass;
    RegisterClassA(&wc);
    HWND config = CreateWindowA(kConfigClass, kConfigTitle, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL,
                                wc.hInstance, NULL);
    ASSERT_NE((HWND)NULL, config);

    service::SetVersion("4.0.9");
    Start();
    ExpectOffer("4.0.9");
    EXPECT_EQ("4.0.8", Text(205));
    EXPECT_TRUE(IsWindowVisible(Item(kProgress)));

    // A second start finds the first and ends at once.
    EXPECT_EQ(0, RunProgram(Quoted(ExeFolder() + "TalUpUp.exe"), 10000));
    EXPECT_EQ(1, CountAssistantWindows());

    Click(kIgnore);
    EXPECT_TRUE(Exited(10000)) << "Ignore This Version ends the assistant";
    EXPECT_TRUE(PumpUntil([&] { return GetPropA(config, "code") == (HANDLE)(INT_PTR)kCmdLatestVersion; }, 5000))
        << "the configuration utility was not told";
    char ignored[32] = "";
    GetPrivateProfileStringA(kSectionApp, kKeyIgnoreVersion, "", ignored, sizeof ignored, configFile.c_str());
    EXPECT_STREQ("4.0.9", ignored);
    DestroyWindow(config);
}

// The control that has the window's focus, as a screen reader reads it:
// its id and accessible name (its role is the system's: the buttons are
// standard ones, which Wine 8 reads as plain client areas).
std::string FocusReading(HWND window)
{
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    HWND focus = GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &gui) ? gui.hwndFocus : NULL;
    std::string reading = std::to_string(focus ? GetDlgCtrlID(focus) : -1);
    IAccessible *object = NULL;
    if (!focus || FAILED(AccessibleObjectFromWindow(focus, OBJID_CLIENT, __uuidof(IAccessible), (void **)&object)))
        return reading + " (no object)";
    VARIANT self = {};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = NULL;
    char text[128] = "";
    if (SUCCEEDED(object->get_accName(self, &name)) && name) {
        WideCharToMultiByte(CP_ACP, 0, name, -1, text, sizeof text, NULL, NULL);
        SysFreeString(name);
    }
    object->Release();
    return reading + " \"" + text + "\"";
}

// Both outcomes' buttons, reached by Tab left to right and read by their
// names; Escape closes the window as "Close" does.
TEST_F(Assistant, TabReachesEveryButtonInOrderReadByItsNameAndEscapeCloses)
{
    ScopedCom com;
    struct Outcome {
        const char *version;
        std::vector<std::string> stops;
    } outcomes[] = {
        {"4.0.9", {std::to_string(kUpgradeNow) + " \"Upgrade Now\"", std::to_string(kIgnore) + " \"Ignore This Version\"",
                   std::to_string(kClose) + " \"Close\""}},
        {"4.0.8", {std::to_string(kCheckAgain) + " \"Check Again\"", std::to_string(kClose) + " \"Close\""}},
    };
    for (const Outcome &outcome : outcomes) {
        service::SetVersion(outcome.version);
        Start();
        std::vector<std::string> got;
        for (size_t i = 0; i < outcome.stops.size(); ++i) {
            got.push_back(FocusReading(window));
            HWND before = GetDlgItem(window, atoi(got.back().c_str()));
            PostMessageA(window, WM_KEYDOWN, VK_TAB, 1);
            PumpUntil([&] {
                GUITHREADINFO gui = {};
                gui.cbSize = sizeof gui;
                return GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &gui) && gui.hwndFocus != before;
            }, 5000);
        }
        EXPECT_EQ(outcome.stops, got) << "version " << outcome.version;
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 1);
        EXPECT_TRUE(Exited(10000)) << "Escape left the assistant open";
        CloseHandle(process);
        process = NULL;
    }
}

TEST_F(Assistant, UnreachablePageThenCheckAgainFindsTheNewerVersion)
{
    service::Listen(80, false);
    Start();
    service::Listen(80, true);
    EXPECT_EQ("Unknown", Text(kLatest));
    EXPECT_EQ("Unable to connect", Text(kHeading));
    ExpectCheckAgainOnly();

    service::SetVersion("4.0.9");
    Click(kCheckAgain);
    ASSERT_TRUE(PumpUntil([&] { return Text(kLatest) == "4.0.9"; }));
    ASSERT_TRUE(Settled());
    ExpectOffer("4.0.9");
}

TEST_F(Assistant, UpToDateOffersOnlyToCheckAgain)
{
    Start();
    EXPECT_EQ("4.0.8", Text(kLatest));
    EXPECT_EQ("You have the latest version.", Text(kHeading));
    EXPECT_EQ("You do not currently need to upgrade.", Text(kMessage));
    ExpectCheckAgainOnly();
}

TEST_F(Assistant, WholeDownloadEndsAt100PercentAndStartsTheInstallerSilently)
{
    ServeInstaller(true);
    Download();
    EXPECT_EQ("100% Complete...", Text(kMessage));
    EXPECT_EQ(100, (int)SendMessageA(Item(kProgress), 0x408 /* PBM_GETPOS */, 0, 0));
    SetupRecord ran;
    ASSERT_TRUE(Ran(ran)) << "setup.exe was not started";
    EXPECT_EQ("/S /D=" + ExeFolder(), ran.arguments);
    EXPECT_EQ(ReadWholeFile(STUB_SETUP_FILE_WINDOWS).size(), ran.size);
    // It ran from a folder made for the download in the user's temporary
    // folder, whose rights name nobody but the user, Administrators and
    // SYSTEM (Wine keeps them as the folder's mode, and reads back SYSTEM
    // and the one user it has), and which goes once the installer has ended.
    std::string folder = ran.path.substr(0, ran.path.rfind('\\'));
    EXPECT_EQ(TempFolder() + "TalvexUpgrade-", folder.substr(0, TempFolder().size() + 14)) << ran.path;
    EXPECT_EQ(folder + "\\setup.exe", ran.path);
    EXPECT_EQ(0u, ran.security.find("O:")) << ran.security;
    for (const char *anyone : {";;;WD)", ";;;BU)", ";;;AU)", ";;;IU)", ";;;BG)"})
        EXPECT_EQ(std::string::npos, ran.security.find(anyone)) << anyone << " may use the folder: " << ran.security;
    EXPECT_TRUE(NoDownloadFolderLeft()) << "the folder and the installer stay after it ended";
    std::string requests = service::Requests("/windows/TalUpSetup.exe");
    EXPECT_NE(std::string::npos, requests.find("\"tls\": true")) << "the installer comes over TLS: " << requests;
}

TEST_F(Assistant, DownloadWithoutALengthStillInstallsWithNoPercentage)
{
    ServeInstaller(false);
    Download();
    SetupRecord ran;
    ASSERT_TRUE(Ran(ran)) << "setup.exe was not started";
    EXPECT_EQ("Initiating", Text(kMessage));
}

// Another program tries, every few milliseconds from before the download
// while the installer runs, to swap the installer the assistant checks:
// rename it, open it for writing, open it for deletion. The assistant
// holds the file from its creation until the installer has ended (the
// stand-in never says it is installing), so every rename and open for
// deletion fails, and an open for writing succeeds at most in the moment
// its writing handle becomes a reading one.
TEST_F(Assistant, NoOneCanSwapTheInstallerFromItsDownloadUntilItHasRun)
{
    // The stand-in waits to be let go, so every try below is made while
    // the file is, or is about to be, the running installer's: the moment
    // after it ended, when the assistant lets go, is never tried.
    const char kGo[] = "TalvexStubGoAfterSwaps";
    ScopedHandle go(CreateEventA(NULL, TRUE, FALSE, kGo));
    ASSERT_TRUE(go);
    SetEnvironmentVariableA("TALVEX_STUB_WAIT", kGo);
    ServeInstaller(true);
    const DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    std::atomic<bool> stop{false};
    std::atomic<int> triesOnTheFile{0};
    std::atomic<int> opensForWriting{0};
    std::vector<std::string> swaps;
    std::thread swapper([&] {
        while (!stop) {
            std::vector<std::string> folders = DownloadFolders();
            for (const std::string &folder : folders) {
                const std::string installer = folder + "\\setup.exe", moved = installer + ".swapped";
                bool present = FileExists(installer);
                ScopedFile write(CreateFileA(installer.c_str(), GENERIC_WRITE, kAnyShare, NULL, OPEN_EXISTING, 0, NULL));
                ScopedFile remove(CreateFileA(installer.c_str(), DELETE, kAnyShare, NULL, OPEN_EXISTING, 0, NULL));
                bool renamed = MoveFileA(installer.c_str(), moved.c_str()) != 0;
                // Opening it for writing can succeed in the moment the
                // assistant turns its writing handle into a reading one (what
                // was written then is seen by its checks); the name can never
                // be freed for another file.
                opensForWriting += (bool)write;
                if (remove)
                    swaps.push_back("opened for deletion");
                if (renamed) {
                    swaps.push_back("renamed");
                    MoveFileA(moved.c_str(), installer.c_str());
                }
                triesOnTheFile += present;
            }
            Sleep(3);
        }
    });
    Download();
    SetupRecord record;
    bool ran = Ran(record);
    // More tries on the file of the installer that runs, then it may end.
    int before = triesOnTheFile.load();
    PumpUntil([&] { return triesOnTheFile.load() >= before + 20; }, 10000);
    stop = true;
    swapper.join();
    SetEvent(go.get());
    EXPECT_TRUE(NoDownloadFolderLeft()) << "the installer never ended";
    EXPECT_TRUE(ran) << "setup.exe was not started";
    EXPECT_GT(triesOnTheFile.load(), 0);
    EXPECT_TRUE(swaps.empty()) << swaps.front() << " (" << swaps.size() << " swaps)";
    EXPECT_LT(opensForWriting.load(), triesOnTheFile.load());
}

// While the installer it started runs, the assistant keeps its file from
// being swapped whatever other programs post to its window: the
// installer's own "installing" and "restarting" messages change the texts,
// and the assistant ends only once the installer's process has.
TEST_F(Assistant, TheInstallersMessagesNeverReleaseTheHoldWhileItRuns)
{
    const char kGo[] = "TalvexStubGo";
    ScopedHandle go(CreateEventA(NULL, TRUE, FALSE, kGo));
    ASSERT_TRUE(go);
    SetEnvironmentVariableA("TALVEX_STUB_WAIT", kGo);
    ServeInstaller(true);
    Download();
    SetupRecord ran;
    ASSERT_TRUE(Ran(ran)) << "setup.exe was not started";
    PostMessageA(window, kMsgUpgradeInstalling, 0, 0);
    PostMessageA(window, kMsgUpgradeRestarting, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return Text(kHeading) == "Restarting Talvex Upgrader"; }));

    const DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    std::string moved = ran.path + ".swapped";
    ScopedFile write(CreateFileA(ran.path.c_str(), GENERIC_WRITE, kAnyShare, NULL, OPEN_EXISTING, 0, NULL));
    ScopedFile remove(CreateFileA(ran.path.c_str(), DELETE, kAnyShare, NULL, OPEN_EXISTING, 0, NULL));
    EXPECT_FALSE(write) << "the installer could be opened for writing";
    EXPECT_FALSE(remove) << "the installer could be opened for deletion";
    EXPECT_FALSE(MoveFileA(ran.path.c_str(), moved.c_str())) << "the installer could be renamed";
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process, 0)) << "the assistant ended while the installer ran";

    SetEvent(go.get());
    EXPECT_TRUE(NoDownloadFolderLeft()) << "the folder stays after the installer ended";
    EXPECT_TRUE(Exited(10000)) << "restarting was asked for: the assistant ends with the installer";
}

// A signed installer that is not newer than this release (the same one
// here; an older one alike) is never started: the assistant only upgrades.
TEST_F(Assistant, AnInstallerNotNewerThanTheInstalledVersionIsRefused)
{
    service::Post("/control/download",
                  "{\"file\": " + service::Quote(STUB_SETUP_SAME_FILE) + ", \"content_length\": true}");
    Download();
    EXPECT_EQ("Download failed", Text(kHeading));
    EXPECT_NE(std::string::npos, Text(kMessage).find("is not newer than the installed version")) << Text(kMessage);
    EXPECT_TRUE(NoDownloadFolderLeft()) << "the refused installer or its folder stays";
    EXPECT_FALSE(FileExists(ranFile)) << "nothing ran";
}

// Whatever arrives that is not the whole installer is deleted, nothing is
// started, and the window says why; the user may try again.
TEST_F(Assistant, RefusedDownloadsAreDeletedAndExplained)
{
    struct Case {
        const char *what;
        const char *control; // JSON posted to the service before the download
        const char *explains;
    } cases[] = {
        {"an error page", R"({"endpoint": "download", "body": "<html>not found</html>", "status": 404})",
         "status 404"},
        {"a body that is no program", R"({"file": ""})", "is not the Talvex Updater installer"},
        // Whether the drop reads as a short body or as a connection error is
        // the network stack's choice; either way it is refused.
        {"a connection lost midway", nullptr, "incomplete|connection"},
    };
    // Cut halfway through whatever size the stub installer has.
    std::string cutHalfway = "{\"cut\": " + std::to_string(ReadWholeFile(STUB_SETUP_FILE_WINDOWS).size() / 2) + "}";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        service::Reset();
        ServeInstaller(true);
        std::string control = c.control ? c.control : cutHalfway;
        service::Post(control.find("endpoint") != std::string::npos ? "/control/script" : "/control/download",
                      control);
        Download();
        EXPECT_EQ("Download failed", Text(kHeading));
        std::string explains = c.explains, message = Text(kMessage);
        size_t bar = explains.find('|');
        bool named = message.find(explains.substr(0, bar)) != std::string::npos ||
                     (bar != std::string::npos && message.find(explains.substr(bar + 1)) != std::string::npos);
        EXPECT_TRUE(named) << message;
        EXPECT_TRUE(Usable(kUpgradeNow)) << "the user may try again";
        // The download is over (Close is enabled last): the file and its
        // folder are gone, and nothing was started from them.
        ASSERT_TRUE(NoDownloadFolderLeft()) << "the refused installer or its folder stays";
        EXPECT_FALSE(FileExists(ranFile));
        Stop();
    }
}

TEST_F(Assistant, InstallersNotSignedByThePublisherAreRefusedDeletedAndExplained)
{
    // The build's own signed stand-in with one byte of its code changed.
    std::string signedFile = ReadWholeFile(STUB_SETUP_FILE_WINDOWS);
    ASSERT_GT(signedFile.size(), 0x800u);
    signedFile[0x600] ^= 0x01;
    auto beside = [](const std::string &path, const char *name) {
        return path.substr(0, path.rfind("stub_setup.exe")) + name;
    };
    WriteWholeFile(beside(STUB_SETUP_FILE_WINDOWS, "stub_setup_changed.exe"), signedFile);

    const std::string files[] = {beside(STUB_SETUP_FILE, "stub_setup_changed.exe"), STUB_SETUP_UNSIGNED_FILE,
                                 STUB_SETUP_OTHER_FILE};
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        service::Reset();
        service::Post("/control/download", "{\"file\": " + service::Quote(file) + ", \"content_length\": true}");
        Download();
        EXPECT_EQ("Download failed", Text(kHeading));
        EXPECT_NE(std::string::npos, Text(kMessage).find("is not signed by the Talvex publisher")) << Text(kMessage);
        ASSERT_TRUE(NoDownloadFolderLeft()) << "the refused installer or its folder stays";
        EXPECT_FALSE(FileExists(ranFile)) << "nothing ran";
        Stop();
    }
}

// Closing the window while the installer trickles in stops the download
// at once and leaves no part of it behind.
TEST_F(Assistant, ClosingDuringADownloadStopsItAndDeletesThePartialFile)
{
    service::Post("/control/download",
                  "{\"file\": " + service::Quote(STUB_SETUP_FILE) + ", \"content_length\": true, \"rate\": 4000}");
    service::SetVersion("4.0.9");
    Start();
    Click(kUpgradeNow);
    ASSERT_TRUE(PumpUntil([&] { return Text(kMessage).find("% Complete...") != std::string::npos; }));
    std::vector<std::string> folders = DownloadFolders();
    ASSERT_EQ(1u, folders.size());
    EXPECT_TRUE(FileExists(folders[0] + "\\setup.exe")) << "the part received is saved as it arrives";
    EXPECT_TRUE(Settled()) << "the window answers during the download";
    ULONGLONG closed = GetTickCount64();
    Stop();
    EXPECT_LT(GetTickCount64() - closed, 5000u);
    EXPECT_TRUE(DownloadFolders().empty()) << "the partial file or its folder stays";
    EXPECT_FALSE(FileExists(ranFile));
}

// The screen's scale for the programs started after it; 0 the default.
void SetDpi(DWORD dpi)
{
    HKEY desktop;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, NULL, 0, KEY_SET_VALUE,
                                             NULL, &desktop, NULL));
    if (dpi)
        RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, (const BYTE *)&dpi, sizeof dpi);
    else
        RegDeleteValueA(desktop, "LogPixels");
    RegCloseKey(desktop);
}

TEST_F(Assistant, At144DotsPerInchTheWindowIs630By540)
{
    SetDpi(144);
    Start();
    SetDpi(0);
    RECT r = {};
    GetWindowRect(window, &r);
    EXPECT_EQ(630, r.right - r.left);
    EXPECT_EQ(540, r.bottom - r.top);
}

// Dragged to a monitor of 144 dpi and told so by WM_DPICHANGED, the
// window offering a new version looks as the one started at 144 dpi: the
// same places and pixels (kept in pictures/ for a person to see).
TEST_F(Assistant, MovedToAMonitorOf144DotsPerInchItLooksAsOneStartedThere)
{
    service::SetVersion("4.0.9");
    SetDpi(144);
    Start();
    SetDpi(0);
    RECT client = {};
    GetClientRect(window, &client);
    CreateDirectoryA((ExeFolder() + "pictures").c_str(), NULL);
    std::string startedPlaces = ControlPlaces(window);
    WindowPicture started = SteadyWindowPicture(window, true);
    SaveWindowPicture(started, ExeFolder() + "pictures\\dpi-started-144-assistant.bmp");
    Stop();

    Start();
    RECT suggested = client;
    AdjustWindowRectEx(&suggested, (DWORD)GetWindowLongA(window, GWL_STYLE), FALSE,
                       (DWORD)GetWindowLongA(window, GWL_EXSTYLE));
    OffsetRect(&suggested, 20 - suggested.left, 20 - suggested.top);
    ASSERT_TRUE(SendDpiChange(window, 144, suggested));
    ASSERT_TRUE(Settled());
    WindowPicture moved = SteadyWindowPicture(window, true);
    SaveWindowPicture(moved, ExeFolder() + "pictures\\dpi-moved-96-to-144-assistant.bmp");
    EXPECT_EQ(startedPlaces, ControlPlaces(window));
    EXPECT_EQ("", PictureDifference(started, moved));
}

} // namespace

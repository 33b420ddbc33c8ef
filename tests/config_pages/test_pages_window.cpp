// TalUpConfig's pages as a user meets them, under a virtual display, with a
// stand-in frame and the local Talvex service: the log list as the file
// grows, the host rows of a download and the saved selection, the refreshes
// and their messages, the account dialog, the options and the export.
#include "frame_double.h"
#include "service_control.h"
#include "test_env.h"

#include "clipboard.h"
#include "contrast.h"
#include "config_ids.h"
#include "signals.h"
#include "tallib.h"

#include <gtest/gtest.h>
#include "test_windows.h"
#include "window_picture.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string.h>
#include <string>
#include <vector>

namespace {

const char kRefused[] =
    "Error verifying user credentials.  Please ensure the following:\n"
    "  1.  Your username and password have been entered correctly.\n"
    "  2.  Your account has not been blocked due to abuse.\n"
    "  3.  You have a stable Internet connection.\n\n"
    "If you can not resolve the issue, you may wish to email support@talvex.test";
const char kNeedAccount[] = "You must provide a proper Talvex Username and Password at some point to keep your DNS "
                            "records up to date.";



std::string TextOf(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClipboardText()
{
    std::string text = "(no text)";
    if (!OpenClipboard(NULL))
        return "(clipboard busy)";
    HANDLE data = GetClipboardData(CF_TEXT);
    if (data) {
        const char *p = (const char *)GlobalLock(data);
        text = p ? p : "";
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void PutOnClipboard(const char *text) { CopyTextToClipboard(g_app.window, text); }

struct DialogSearch {
    std::string title;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter)
{
    DialogSearch *search = (DialogSearch *)parameter;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && strcmp(cls, "#32770") == 0 &&
        TextOf(window) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A top-level dialog of this process with that caption, shown.
HWND FindDialog(const std::string &title)
{
    DialogSearch search = {title, NULL};
    EnumWindows(MatchDialog, (LPARAM)&search);
    return search.found;
}

// Waits on a thread of its own for the dialog with that caption, records
// its message text (static 65535) and answers it with act.
class Answerer {
public:
    Answerer(std::string title, std::function<void(HWND)> act) : title_(std::move(title)), act_(std::move(act))
    {
        thread_ = CreateThread(NULL, 0, Run, this, 0, NULL);
    }
    ~Answerer() { Wait(); }
    // Waits (pumping this thread) until the dialog was answered or 20 s
    // went by; the message text, empty when none came.
    std::string Wait()
    {
        if (thread_) {
            while (MsgWaitForMultipleObjects(1, &thread_, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0)
                Pump(10);
            CloseHandle(thread_);
            thread_ = NULL;
        }
        return text_;
    }
    bool seen() const { return seen_; }

private:
    static DWORD WINAPI Run(void *parameter)
    {
        Answerer *self = (Answerer *)parameter;
        for (int i = 0; i < 400; ++i) {
            HWND dialog = FindDialog(self->title_);
            // Open once its thread runs the dialog's loop and answers.
            DWORD_PTR ignored = 0;
            if (dialog && SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored)) {
                self->seen_ = true;
                self->text_ = TextOf(GetDlgItem(dialog, 65535));
                self->act_(dialog);
                return 0;
            }
            Sleep(50);
        }
        return 0;
    }
    std::string title_;
    std::function<void(HWND)> act_;
    HANDLE thread_ = NULL;
    std::string text_;
    bool seen_ = false;
};

std::function<void(HWND)> Press(int button)
{
    return [button](HWND dialog) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(dialog, button)); };
}

// A high-contrast theme as Windows shows one. Wine 8 keeps none (it refuses
// SPI_SETHIGHCONTRAST), so this program's own import of
// SystemParametersInfoA answers that one is on, and the system colours
// are set to a theme's while it lasts.
class HighContrastTheme {
public:
    HighContrastTheme()
    {
        real_ = (Spi)PatchImport("user32.dll", "SystemParametersInfoA", (void *)ThemeOn);
        for (int i = 0; i < 4; ++i)
            before_[i] = GetSysColor(kElements[i]);
        SetSysColors(4, kElements, kTheme);
    }
    ~HighContrastTheme()
    {
        SetSysColors(4, kElements, before_);
        if (real_)
            PatchImport("user32.dll", "SystemParametersInfoA", (void *)real_);
        real_ = NULL;
    }
    bool on() const { return real_ != NULL; }

    static constexpr int kElements[4] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HOTLIGHT, COLOR_HIGHLIGHT};
    static constexpr COLORREF kTheme[4] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255)};

private:
    typedef BOOL(WINAPI *Spi)(UINT, UINT, void *, UINT);
    static BOOL WINAPI ThemeOn(UINT action, UINT parameter, void *data, UINT update)
    {
        if (action == SPI_GETHIGHCONTRAST && data) {
            ((HIGHCONTRASTA *)data)->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
            return TRUE;
        }
        return real_(action, parameter, data, update);
    }
    // Points this program's import of name from dll at replacement and
    // answers what it pointed at; NULL when there is no such import.
    static void *PatchImport(const char *dll, const char *name, void *replacement)
    {
        BYTE *base = (BYTE *)GetModuleHandleA(NULL);
        const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)(base + ((const IMAGE_DOS_HEADER *)base)->e_lfanew);
        DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        for (const IMAGE_IMPORT_DESCRIPTOR *d = (const IMAGE_IMPORT_DESCRIPTOR *)(base + imports); d->Name; ++d) {
            if (lstrcmpiA((const char *)(base + d->Name), dll) != 0)
                continue;
            const IMAGE_THUNK_DATA *names = (const IMAGE_THUNK_DATA *)(base + d->OriginalFirstThunk);
            IMAGE_THUNK_DATA *slots = (IMAGE_THUNK_DATA *)(base + d->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
                    strcmp((const char *)((const IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData))->Name,
                           name) != 0)
                    continue;
                DWORD protection = 0;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
                void *before = (void *)slots->u1.Function;
                slots->u1.Function = (ULONG_PTR)replacement;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
                return before;
            }
        }
        return NULL;
    }
    static Spi real_;
    COLORREF before_[4] = {};
};
HighContrastTheme::Spi HighContrastTheme::real_ = NULL;

class Pages : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        service::Reset();
        g_app = ConfigApp();
        g_frame = FrameRecord();
        lstrcpynA(g_app.configPath, configFile.c_str(), sizeof g_app.configPath);
        lstrcpynA(g_app.logPath, logFile.c_str(), sizeof g_app.logPath);
        g_app.sync = 0;
        SetSelection("");
        CreateTestMainWindow();
    }
    void TearDown() override
    {
        DestroyTestWindows();
        Pump(50);
        service::Reset();
        DataFolderTest::TearDown();
    }
    void SetSelection(const std::string &text) { g_app.selectedHosts = text; }
    HWND Page(int index) { return g_app.pages[index]; }
    HWND Item(int page, int id) { return GetDlgItem(Page(page), id); }
    HWND Hosts() { return Item(kPageHome, IDC_HOST_LIST); }
    HWND LogList() { return Item(kPageLogs, IDC_LOG_LIST); }
    void Command(int page, int id) { SendMessageA(Page(page), WM_COMMAND, MAKEWPARAM(id, 0), (LPARAM)Item(page, id)); }
    int Rows(HWND list) { return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); }
    std::string Cell(HWND list, int row, int column)
    {
        char text[512] = "";
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
        return text;
    }
    std::vector<std::string> HostNames()
    {
        std::vector<std::string> names;
        for (int row = 0; row < Rows(Hosts()); ++row)
            names.push_back(Cell(Hosts(), row, 1));
        return names;
    }
    std::vector<int> Checks()
    {
        std::vector<int> states;
        for (int row = 0; row < Rows(Hosts()); ++row)
            states.push_back(RowCheckState(Hosts(), row));
        return states;
    }
    void Select(HWND list, std::vector<int> rows)
    {
        LVITEMA none = {};
        none.stateMask = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&none);
        for (int row : rows) {
            LVITEMA item = {};
            item.stateMask = LVIS_SELECTED;
            item.state = LVIS_SELECTED;
            SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
        }
    }
    void SendHost(const std::string &name)
    {
        SendMessageA(g_app.window, kMsgHostListHost, name.size(), (LPARAM)name.c_str());
    }
    // A host list refresh has run to its end: the main window is usable again.
    bool RefreshOver()
    {
        return PumpUntil([&] { return IsWindowEnabled(g_app.window) && IsWindowEnabled(Page(kPageHome)); }, 30000);
    }
    bool ProgressWindowShown() { return FindDialog("") != NULL; }
    // The colours the list would draw a row with.
    std::pair<COLORREF, COLORREF> RowColours(int row)
    {
        NMLVCUSTOMDRAW draw = {};
        draw.nmcd.hdr.hwndFrom = LogList();
        draw.nmcd.hdr.idFrom = IDC_LOG_LIST;
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        draw.nmcd.dwItemSpec = (DWORD_PTR)row;
        draw.clrText = draw.clrTextBk = CLR_DEFAULT;
        SendMessageA(Page(kPageLogs), WM_NOTIFY, IDC_LOG_LIST, (LPARAM)&draw);
        return {draw.clrText, draw.clrTextBk};
    }
    bool LastLogRowVisible()
    {
        int top = (int)SendMessageA(LogList(), LVM_GETTOPINDEX, 0, 0);
        int perPage = (int)SendMessageA(LogList(), LVM_GETCOUNTPERPAGE, 0, 0);
        return top + perPage >= Rows(LogList());
    }
    double ReloadMs()
    {
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        ReloadLogPage(Page(kPageLogs));
        QueryPerformanceCounter(&end);
        return (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
    }
    std::vector<std::string> Chosen()
    {
        std::vector<std::string> hosts;
        EXPECT_TRUE(ChosenHosts(Page(kPageHome), hosts));
        return hosts;
    }
};

TEST_F(Pages, LogListFollowsTheFileColoursLevelsAndCopiesSelectedLines)
{
    CreateTestPages();
    EXPECT_EQ(0, Rows(LogList())) << "no log file yet: an empty list";

    // The file was created empty before its first entry; the second entry's
    // text spans two lines; the last has no description.
    WriteWholeFile(logFile, "\r\n0\tt1\td1\r\n1\tt2\td2\r\nsecond line\r\n0\tt0\r\n2\tt3\td3");
    ReloadLogPage(Page(kPageLogs));
    ASSERT_EQ(4, Rows(LogList()));
    EXPECT_EQ("t1", Cell(LogList(), 0, 0));
    EXPECT_EQ("d1", Cell(LogList(), 0, 1));
    EXPECT_EQ("d2", Cell(LogList(), 1, 1));
    EXPECT_EQ("t0", Cell(LogList(), 2, 0));
    EXPECT_EQ("", Cell(LogList(), 2, 1)) << "no third field: an empty Description";
    EXPECT_EQ("d3", Cell(LogList(), 3, 1));
    EXPECT_TRUE(LastLogRowVisible());
    EXPECT_EQ(std::make_pair((COLORREF)CLR_DEFAULT, (COLORREF)CLR_DEFAULT), RowColours(0));
    EXPECT_EQ(std::make_pair(RGB(0, 0, 0), RGB(255, 255, 0)), RowColours(1)) << "warning";
    EXPECT_EQ(std::make_pair(RGB(255, 255, 255), RGB(255, 64, 64)), RowColours(3)) << "error";

    Select(LogList(), {0, 1});
    Command(kPageLogs, IDM_COPY_LINES);
    EXPECT_EQ("t1 - d1\r\nt2 - d2", ClipboardText());

    // The updater adds to the file: the list grows (the last line, continued
    // in place, is read again) and shows its end; the selection stays.
    LogToFile(" (continued)", 0, 2);
    for (int i = 0; i < 60; ++i)
        LogToFile(("entry " + std::to_string(i)).c_str(), 1, 0);
    Command(kPageLogs, IDC_REFRESH_LOG);
    ASSERT_EQ(64, Rows(LogList()));
    EXPECT_EQ("t3", Cell(LogList(), 3, 0));
    EXPECT_EQ("d3 (continued)", Cell(LogList(), 3, 1));
    EXPECT_EQ("entry 59", Cell(LogList(), 63, 1));
    EXPECT_TRUE(LastLogRowVisible());
    EXPECT_TRUE(IsWindowEnabled(Item(kPageLogs, IDC_REFRESH_LOG)));
    Command(kPageLogs, IDM_COPY_LINES);
    EXPECT_EQ("t1 - d1\r\nt2 - d2", ClipboardText());

    // A file that was replaced is read anew, a missing one gives no rows.
    WriteWholeFile(logFile, "0\tnew\tone");
    ReloadLogPage(Page(kPageLogs));
    ASSERT_EQ(1, Rows(LogList()));
    EXPECT_EQ("new", Cell(LogList(), 0, 0));
    DeleteFileA(logFile.c_str());
    ReloadLogPage(Page(kPageLogs));
    EXPECT_EQ(0, Rows(LogList()));
}

TEST_F(Pages, LogReloadTimesForLongLogs)
{
    CreateTestPages();
    for (int lines : {1000, 10000, 100000}) {
        std::string text;
        for (int i = 0; i < lines; ++i)
            text += (i ? "\r\n" : "") + std::to_string(i % 3) + "\t12-06-2026 19:05:07\tIP Changed from [198.51.100.1] "
                                                                 "to [203.0.113.7] for host number " +
                    std::to_string(i);
        DeleteFileA(logFile.c_str()); // the next reload starts over
        ReloadLogPage(Page(kPageLogs));
        WriteWholeFile(logFile, text);
        double full = ReloadMs();
        ASSERT_EQ(lines, Rows(LogList()));
        LogToFile("one more", 1, 0);
        double added = ReloadMs();
        ASSERT_EQ(lines + 1, Rows(LogList()));
        EXPECT_EQ("one more", Cell(LogList(), lines, 1));
        EXPECT_TRUE(LastLogRowVisible());
        // The figures are for tools/config-figures.sh; no bound on time here.
        printf("log reload of %d lines: %.1f ms whole, %.1f ms after one more entry\n", lines, full, added);
    }
}

TEST_F(Pages, HostRowsArriveReCheckTheSavedSelectionAndAnswerTheCheckCommands)
{
    SetSelection("alpha, BETA ;");
    CreateTestPages();
    // Before any download the saved hosts are the rows, checked, so that
    // a save keeps them; that is no change to apply.
    EXPECT_EQ((std::vector<std::string>{"alpha", "BETA"}), HostNames());
    EXPECT_EQ((std::vector<int>{2, 2}), Checks());
    EXPECT_EQ(0, g_frame.applyEnabled);

    SendMessageA(g_app.window, kMsgHostListBegin, 0, 0);
    EXPECT_EQ(1, (LONG)Home().refreshing);
    EXPECT_EQ(0, Rows(Hosts()));
    const std::string longName(300, 'z');
    for (const char *name : {"alpha", "beta", "gamma"})
        SendHost(name);
    SendHost(longName);
    SendMessageA(g_app.window, kMsgHostListEnd, 0, 0);
    EXPECT_EQ(0, (LONG)Home().refreshing);
    EXPECT_EQ((std::vector<std::string>{"alpha", "beta", "gamma", std::string(255, 'z')}), HostNames());
    EXPECT_EQ((std::vector<int>{2, 2, 1, 1}), Checks());
    EXPECT_EQ(2, g_frame.applyEnabled) << "each re-checked row is a change";
    EXPECT_EQ((std::vector<std::string>{"alpha", "beta"}), Chosen());

    Command(kPageHome, IDC_CHECK_INVERSE);
    EXPECT_EQ((std::vector<int>{1, 1, 2, 2}), Checks());
    EXPECT_EQ(6, g_frame.applyEnabled);
    Command(kPageHome, IDC_CHECK_NONE);
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1}), Checks());
    Select(Hosts(), {0, 2});
    Command(kPageHome, IDM_CHECK_SELECTED);
    EXPECT_EQ((std::vector<int>{2, 1, 2, 1}), Checks());
    Command(kPageHome, IDC_CHECK_ALL);
    EXPECT_EQ((std::vector<int>{2, 2, 2, 2}), Checks());
    Command(kPageHome, IDM_UNCHECK_SELECTED);
    EXPECT_EQ((std::vector<int>{1, 2, 1, 2}), Checks());
    // A name longer than a saved part is saved cut to it, and nothing else.
    EXPECT_EQ((std::vector<std::string>{"beta", std::string(127, 'z')}), Chosen());
    std::vector<std::string> none;
    EXPECT_FALSE(ChosenHosts(Page(kPageAdvanced), none)) << "no Home page: nothing to hand up";

    Command(kPageHome, IDM_COPY_HOSTS);
    EXPECT_EQ("alpha\r\ngamma", ClipboardText());
    Select(Hosts(), {});
    PutOnClipboard("something else");
    Command(kPageHome, IDM_COPY_HOSTS);
    EXPECT_EQ("", ClipboardText()) << "no selected row: an empty text";

    // A download that delivers no row gives the saved selection back.
    SendMessageA(g_app.window, kMsgHostListBegin, 0, 0);
    SendMessageA(g_app.window, kMsgHostListEnd, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"alpha", "BETA"}), HostNames());
    EXPECT_EQ((std::vector<int>{2, 2}), Checks());
}

TEST_F(Pages, RefreshHostListWithATwoLetterUserNameAsksForAProperAccount)
{
    lstrcpynA(g_app.userName, "ab", sizeof g_app.userName);
    CreateTestPages();
    Answerer box("Talvex Updater Configuration", Press(IDOK));
    Command(kPageHome, IDC_REFRESH_HOSTS);
    EXPECT_EQ(kNeedAccount, box.Wait());
    EXPECT_FALSE(ProgressWindowShown());
    EXPECT_TRUE(IsWindowEnabled(g_app.window));
    EXPECT_EQ(0, service::CountRequests("/text/gethostlist"));
}

TEST_F(Pages, RefreshHostListDownloadsTheAccountsHostsAndExplainsARefusal)
{
    lstrcpynA(g_app.userName, "demo", sizeof g_app.userName);
    lstrcpynA(g_app.password, "demo-pass", sizeof g_app.password);
    SetSelection("office.talvex-demo.test");
    CreateTestPages();

    Command(kPageHome, IDC_REFRESH_HOSTS);
    EXPECT_FALSE(IsWindowEnabled(g_app.window)) << "the main window waits for the download";
    ASSERT_TRUE(RefreshOver());
    EXPECT_EQ((std::vector<std::string>{"home.talvex-demo.test", "office.talvex-demo.test", "mail.talvex-demo.test"}),
              HostNames());
    EXPECT_EQ((std::vector<int>{1, 2, 1}), Checks());
    EXPECT_FALSE(ProgressWindowShown());
    EXPECT_EQ(0, (LONG)Home().refreshing);
    EXPECT_EQ(1, service::CountRequests("/text/gethostlist"));

    // Refused credentials: the message, and the saved selection stays.
    lstrcpynA(g_app.password, "wrong", sizeof g_app.password);
    Answerer box("Talvex Updater", Press(IDOK));
    Command(kPageHome, IDC_REFRESH_HOSTS);
    EXPECT_EQ(kRefused, box.Wait());
    ASSERT_TRUE(RefreshOver());
    EXPECT_EQ((std::vector<std::string>{"office.talvex-demo.test"}), HostNames());
    EXPECT_EQ((std::vector<int>{2}), Checks());
    EXPECT_FALSE(ProgressWindowShown());
}

// Cancel gives the window back at once; the download goes on and its rows
// and its message still arrive (the message owned by the main window then).
TEST_F(Pages, CancelledDownloadStillDeliversItsRowsAndItsMessage)
{
    lstrcpynA(g_app.userName, "demo", sizeof g_app.userName);
    lstrcpynA(g_app.password, "demo-pass", sizeof g_app.password);
    SetSelection("mail.talvex-demo.test");
    CreateTestPages();

    // The download's result waits for this thread to take it, so the
    // progress window is there to be cancelled.
    Command(kPageHome, IDC_REFRESH_HOSTS);
    HWND progress = FindDialog("");
    ASSERT_NE((HWND)NULL, progress);
    SendMessageA(progress, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindowEnabled(g_app.window)) << "usable while the download goes on";
    ASSERT_TRUE(PumpUntil([&] { return Rows(Hosts()) == 3 && IsWindowEnabled(Page(kPageHome)); }));
    EXPECT_EQ((std::vector<int>{1, 1, 2}), Checks());

    lstrcpynA(g_app.password, "wrong", sizeof g_app.password);
    Answerer box("Talvex Updater", Press(IDOK));
    Command(kPageHome, IDC_REFRESH_HOSTS);
    progress = FindDialog("");
    ASSERT_NE((HWND)NULL, progress);
    SendMessageA(progress, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED), 0);
    EXPECT_EQ(kRefused, box.Wait());
    ASSERT_TRUE(RefreshOver());
    EXPECT_EQ((std::vector<std::string>{"mail.talvex-demo.test"}), HostNames());
}

TEST_F(Pages, HostListRefreshTimesFor10And500Hosts)
{
    lstrcpynA(g_app.userName, "many", sizeof g_app.userName);
    lstrcpynA(g_app.password, "many-pass", sizeof g_app.password);
    CreateTestPages();
    for (int count : {10, 500}) {
        std::string hosts;
        for (int i = 0; i < count; ++i)
            hosts += std::string(i ? ", " : "") + "{\"name\": \"host" + std::to_string(i) +
                     ".talvex-demo.test\", \"kind\": \"dynamic\", \"address\": \"198.51.100.1\"}";
        service::Post("/control/accounts",
                      "{\"accounts\": {\"many\": {\"password\": \"many-pass\", \"hosts\": [" + hosts + "]}}}");
        DWORD start = GetTickCount();
        Command(kPageHome, IDC_REFRESH_HOSTS);
        ASSERT_TRUE(RefreshOver());
        DWORD took = GetTickCount() - start;
        ASSERT_EQ(count, Rows(Hosts()));
        EXPECT_EQ("host" + std::to_string(count - 1) + ".talvex-demo.test", Cell(Hosts(), count - 1, 1));
        printf("host list refresh of %d hosts: %lu ms\n", count, (unsigned long)took);
    }
}

TEST_F(Pages, ProgressCancelGivesBackOnlyTheWindowItsRefreshDisabled)
{
    CreateTestPages();
    EnableWindow(g_app.window, FALSE); // as a host list refresh leaves it
    HWND page = Page(kPageHome);
    HWND progress = CreateProgressWindow(page);
    ASSERT_NE((HWND)NULL, progress);
    EnableWindow(page, FALSE);
    EXPECT_TRUE(ProgressWindowShown());
    SendMessageA(progress, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_TRUE(IsWindowEnabled(page));
    EXPECT_FALSE(IsWindowEnabled(g_app.window)) << "not the window of another refresh";
    CloseProgressWindow(progress, page); // the refresh ends later: nothing left to close
    EXPECT_FALSE(IsWindowEnabled(g_app.window));
    EnableWindow(g_app.window, TRUE);
}

TEST_F(Pages, AddressRefreshShowsTheAddressOrUnknown)
{
    CreateTestPages();
    HWND field = Item(kPageHome, IDC_HOME_ADDRESS);
    Command(kPageHome, IDC_REFRESH_IP);
    ASSERT_TRUE(PumpUntil([&] { return !TextOf(field).empty() && IsWindowEnabled(Page(kPageHome)); }));
    EXPECT_EQ("203.0.113.7", TextOf(field));
    EXPECT_STREQ("203.0.113.7", g_app.currentAddress);
    EXPECT_STREQ("203.0.113.7", g_app.detectedAddress);
    EXPECT_EQ(0, GetProxy()) << "the first check found no transparent proxy";
    EXPECT_FALSE(ProgressWindowShown());

    service::Script("checkip", "<html><body>no address here</body></html>", "normal", 2);
    Command(kPageHome, IDC_REFRESH_IP);
    ASSERT_TRUE(PumpUntil([&] { return !TextOf(field).empty() && IsWindowEnabled(Page(kPageHome)); }));
    EXPECT_EQ("Unknown", TextOf(field));
    EXPECT_STREQ("", g_app.detectedAddress);
}

TEST_F(Pages, ChangeUserTakesTheNewAccountAndEscapeDoesNothing)
{
    lstrcpynA(g_app.userName, "olduser", sizeof g_app.userName);
    CreateTestPages();
    {
        Answerer dialog("Talvex Account Information", [](HWND d) {
            // Escape, handled before this returns; the dialog must stay
            // for the account typed next to be taken.
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(d, WM_COMMAND, IDCANCEL, 0, SMTO_NORMAL, 10000, &ignored);
            SetDlgItemTextA(d, IDC_ACCOUNT_USER, "newuser-with-a-name-far-longer-than-31");
            SetDlgItemTextA(d, IDC_ACCOUNT_PASSWORD, "secret");
            PostMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_ACCOUNT_OKAY, BN_CLICKED), 0);
        });
        Command(kPageHome, IDC_CHANGE_USER);
        EXPECT_TRUE(dialog.seen());
    }
    EXPECT_STREQ("newuser-with-a-name-far-longer-", g_app.userName) << "31 characters";
    EXPECT_STREQ("secret", g_app.password);
    EXPECT_EQ("newuser-with-a-name-far-longer-", TextOf(Item(kPageHome, IDC_HOME_USER)));
    EXPECT_EQ(1, g_frame.applyEnabled);

    Answerer cancel("Talvex Account Information", Press(IDC_ACCOUNT_CANCEL));
    Command(kPageHome, IDC_CHANGE_USER);
    EXPECT_TRUE(cancel.seen());
    EXPECT_STREQ("secret", g_app.password);
    EXPECT_EQ(1, g_frame.applyEnabled);

    Command(kPageHome, IDC_VIEW_LOGS);
    EXPECT_EQ(kPageLogs, g_frame.shownPage);
}

TEST_F(Pages, AdvancedPageShowsTheOptionsAndHidesTheUpgradeLinkWhenChecksAreOff)
{
    g_app.upgrade = 0;
    g_app.loadIcon = 1;
    g_app.startWithOS = 0;
    g_app.sync = 1;
    g_app.notify = 0;
    CreateTestPages();
    HWND page = Page(kPageAdvanced);
    EXPECT_EQ("Talvex Updater v4.0.8", TextOf(Item(kPageAdvanced, IDC_VERSION_TEXT)));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, IDC_OPT_LOAD_ICON));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(page, IDC_OPT_START_WITH_OS));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, IDC_OPT_SYNC));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(page, IDC_OPT_NOTIFY));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(page, IDC_OPT_UPGRADE));
    HWND link = Item(kPageAdvanced, IDC_UPGRADE_LINK);
    ShowWindow(page, SW_SHOW);
    EXPECT_FALSE(IsWindowVisible(link));
    EXPECT_FALSE(IsWindowEnabled(link));

    SendMessageA(Item(kPageAdvanced, IDC_OPT_NOTIFY), BM_CLICK, 0, 0);
    SendMessageA(Item(kPageAdvanced, IDC_OPT_LOAD_ICON), BM_CLICK, 0, 0);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, IDC_OPT_NOTIFY));
    EXPECT_EQ(2, g_frame.applyEnabled);
    // What the page hands up is what the boxes show; the settings wait for a save.
    const ConfigOptions *chosen = ChosenOptions(page);
    ASSERT_NE(nullptr, chosen);
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 0}),
              (std::vector<int>{chosen->loadIcon, chosen->startWithOS, chosen->sync, chosen->notify, chosen->upgrade}));
    EXPECT_EQ(0, g_app.notify);
    EXPECT_EQ(nullptr, ChosenOptions(Page(kPageHome)));

    DestroyTestWindows();
    g_app.upgrade = 1;
    CreateTestMainWindow();
    CreateTestPages();
    ShowWindow(Page(kPageAdvanced), SW_SHOW);
    link = Item(kPageAdvanced, IDC_UPGRADE_LINK);
    EXPECT_TRUE(IsWindowVisible(link));
    EXPECT_FALSE(IsWindowEnabled(link)) << "until the version check finds an upgrade";
    EXPECT_EQ("Checking for upgrades...", TextOf(link));
    ShowUpgradeAvailable(Page(kPageAdvanced), true);
    EXPECT_TRUE(IsWindowEnabled(link));
    EXPECT_EQ("An upgrade is available!", TextOf(link));
    ShowUpgradeAvailable(Page(kPageAdvanced), false);
    EXPECT_FALSE(IsWindowEnabled(link));
    EXPECT_EQ("You have the latest version.", TextOf(link));
}

TEST_F(Pages, SaveLogToFileWritesTheSupportReportAndCancelWritesNothing)
{
    WriteWholeFile(configFile, "[App]\r\nUsername=demo\r\nPassword=abcdef\r\n");
    WriteWholeFile(logFile, "0\t12-06-2026 19:05:07\tUpdater started");
    CreateTestPages();
    std::string report = dataFolder + "export-test.txt";
    DeleteFileA(report.c_str());

    Answerer cancel("Talvex Updater - Export Log File", Press(IDCANCEL));
    Command(kPageLogs, IDC_SAVE_LOG);
    EXPECT_TRUE(cancel.seen());
    EXPECT_FALSE(FileExists(report));

    Answerer save("Talvex Updater - Export Log File", [&](HWND dialog) {
        // The file name box of the explorer-style dialog.
        if (!SetDlgItemTextA(dialog, 1148, report.c_str()))
            SetDlgItemTextA(dialog, 1152, report.c_str());
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(dialog, IDOK));
    });
    Command(kPageLogs, IDC_SAVE_LOG);
    EXPECT_TRUE(save.seen());
    std::string text = ReadWholeFile(report);
    EXPECT_NE(std::string::npos, text.find("Talvex Updater v4.0.8")) << text;
    EXPECT_NE(std::string::npos, text.find("Username=demo")) << text;
    EXPECT_EQ(std::string::npos, text.find("Password=")) << "no password leaves";
    EXPECT_NE(std::string::npos, text.find("Updater started")) << text;
    DeleteFileA(report.c_str());
}

// The log grows without end; an administrator clears it from its menu
// instead of deleting it (a deleted log is made again only by the
// installer). No keeps every record; Yes empties the file in place and
// leaves one record saying so.
TEST_F(Pages, ClearLogAsksThenEmptiesTheLogInPlace)
{
    WriteWholeFile(logFile, "0\t12-06-2026 19:05:07\tUpdater started\r\n2\t12-06-2026 19:06:07\tfailed");
    CreateTestPages();
    ASSERT_EQ(2, Rows(LogList()));

    Answerer no("Talvex Updater", Press(IDNO));
    Command(kPageLogs, IDM_CLEAR_LOG);
    EXPECT_EQ("Clear the log?\n\nEvery record in it is removed. Save the log to a file first if you may need it.",
              no.Wait());
    EXPECT_EQ(2, Rows(LogList()));
    EXPECT_NE(std::string::npos, ReadWholeFile(logFile).find("Updater started"));

    Answerer yes("Talvex Updater", Press(IDYES));
    Command(kPageLogs, IDM_CLEAR_LOG);
    EXPECT_TRUE(!yes.Wait().empty());
    std::string log = ReadWholeFile(logFile);
    EXPECT_EQ("\tThe log was cleared.", log.substr(log.size() < 21 ? 0 : 21)) << log;
    ASSERT_EQ(1, Rows(LogList()));
    EXPECT_EQ("The log was cleared.", Cell(LogList(), 0, 1));
}

// Pictures of the pages for a person to look at, when
// TALVEX_PAGE_PICTURES names a folder (Windows path) to write them to.
// With a high-contrast theme on (and the system's colour change told as
// the frame tells it), every page is painted in the theme's window colour
// and its texts in the theme's text colour (pictures/contrast-*.bmp); with
// it off, white again. The links' colours belong to the frame's link
// behaviour, which this stand-in frame has not; Wine's list views keep the
// colours they were made with whatever the system's change.
TEST_F(Pages, InAHighContrastThemeThePagesTakeItsColours)
{
    CreateTestPages();
    struct {
        int page;
        const char *name;
        int label; // a static text of the page, 0 for none
    } rows[] = {
        {kPageHome, "home", IDC_HOME_USER_LABEL},
        {kPageAdvanced, "advanced", IDC_OPT_NOTIFY},
        {kPageLogs, "logs", 0},
        {kPageHelp, "help", 0},
    };
    // How many pixels of a control's rectangle (on screen) have colour.
    auto pixelsOf = [](HWND control, COLORREF colour) {
        RECT r = {};
        GetWindowRect(control, &r);
        HDC screen = GetDC(NULL);
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                count += GetPixel(screen, x, y) == colour;
        ReleaseDC(NULL, screen);
        return count;
    };
    auto show = [&](int index) {
        for (int j = 0; j < kPageCount; ++j)
            ShowWindow(Page(j), j == index ? SW_SHOW : SW_HIDE);
        SetForegroundWindow(g_app.window);
        RedrawWindow(Page(index), NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump(300);
    };
    auto corner = [&](int index) {
        RECT r = {};
        GetWindowRect(Page(index), &r);
        HDC screen = GetDC(NULL);
        COLORREF c = GetPixel(screen, r.left + 2, r.bottom - 2);
        ReleaseDC(NULL, screen);
        return c;
    };
    CreateDirectoryA((ExeFolder() + "pictures").c_str(), NULL);
    {
        HighContrastTheme theme;
        ASSERT_TRUE(theme.on()) << "the theme could not be put in place";
        RepaintForColours(g_app.window, WM_SYSCOLORCHANGE, 0, 0);
        for (const auto &row : rows) {
            show(row.page);
            SaveWindowPicture(g_app.window, ExeFolder() + "pictures\\contrast-" + row.name + ".bmp");
            EXPECT_EQ(RGB(0, 0, 0), corner(row.page)) << row.name << ": the page is not in the window colour";
            if (row.label) {
                EXPECT_GT(pixelsOf(Item(row.page, row.label), RGB(255, 255, 255)), 0) << row.name << ": no text colour";
            }
        }
    }
    RepaintForColours(g_app.window, WM_SYSCOLORCHANGE, 0, 0);
    for (const auto &row : rows) {
        show(row.page);
        EXPECT_EQ(RGB(255, 255, 255), corner(row.page)) << row.name << ": white again without the theme";
    }
}

TEST_F(Pages, PicturesForReview)
{
    const char *folder = getenv("TALVEX_PAGE_PICTURES");
    if (!folder)
        GTEST_SKIP() << "TALVEX_PAGE_PICTURES not set";
    lstrcpynA(g_app.userName, "demo", sizeof g_app.userName);
    SetSelection("home.talvex-demo.test,office.talvex-demo.test");
    std::string log;
    for (int i = 0; i < 40; ++i)
        log += std::string(i ? "\r\n" : "") + (i % 9 == 4 ? "1" : i % 13 == 7 ? "2" : "0") +
               "\t12-06-2026 19:05:" + (i < 10 ? "0" : "") + std::to_string(i) + "\tIP Changed from [198.51.100.1] to [203.0.113." +
               std::to_string(i) + "]";
    WriteWholeFile(logFile, log);
    CreateTestPages();
    ShowUserName(Page(kPageHome), "demo");
    ShowLastUpdate(Page(kPageHome), "12-06-2026 19:05:07");
    SetDlgItemTextA(Page(kPageHome), IDC_HOME_ADDRESS, "203.0.113.7");
    ShowUpdaterRunning(Page(kPageHome), true);
    SendMessageA(g_app.window, kMsgHostListBegin, 0, 0);
    for (const char *name : {"home.talvex-demo.test", "office.talvex-demo.test", "mail.talvex-demo.test"})
        SendHost(name);
    SendMessageA(g_app.window, kMsgHostListEnd, 0, 0);
    const char *names[] = {"home", "advanced", "logs", "help"};
    for (int i = 0; i < kPageCount; ++i) {
        for (int j = 0; j < kPageCount; ++j)
            ShowWindow(Page(j), j == i ? SW_SHOW : SW_HIDE);
        SetForegroundWindow(g_app.window);
        Pump(700);
        SaveWindowPicture(g_app.window, std::string(folder) + "\\" + names[i] + ".bmp");
    }
    Answerer account("Talvex Account Information", [&](HWND dialog) {
        Sleep(500);
        SaveWindowPicture(dialog, std::string(folder) + "\\account.bmp");
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ACCOUNT_CANCEL, BN_CLICKED), 0);
    });
    RunAccountDialog(g_app.window, g_app);
    account.Wait();
    HWND progress = CreateProgressWindow(g_app.window);
    Pump(700);
    SaveWindowPicture(progress, std::string(folder) + "\\progress.bmp");
    DestroyWindow(progress);
}

} // namespace

// The Home page's background work: the public address check, the host list
// download and starting or stopping the updater, each on a short worker
// thread so that the window never waits on the network or the service.
// A worker only computes and posts its result to the Home page, whose
// thread applies it: the workers touch no window and no shared state.
#include "refresh.h"

#include "error_text.h"
#include "host_list.h"
#include "page_common.h"
#include "progress_window.h"
#include "program.h"
#include "signals.h"
#include "tallib.h"
#include "talvex_settings.h"
#include "window_state.h"
#include "worker.h"

#include <commctrl.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char kNeedAccount[] = "You must provide a proper Talvex Username and Password at some point to keep your "
                            "DNS records up to date.";
const char kNeedAccountCaption[] = "Talvex Updater Configuration";
const char kCredentialsRefused[] =
    "Error verifying user credentials.  Please ensure the following:\n"
    "  1.  Your username and password have been entered correctly.\n"
    "  2.  Your account has not been blocked due to abuse.\n"
    "  3.  You have a stable Internet connection.\n\n"
    "If you can not resolve the issue, you may wish to email " TALVEX_SUPPORT_EMAIL;
const char kRefreshFailed[] = "Unable to refresh host list.  Please check your Internet Connection and try again.";
const char kHostThreadFailed[] = "Error creating thread to Update Hosts.";
const char kAddressThreadFailed[] = "Error creating thread to Update IP.";
const char kUnknownAddress[] = "Unknown";
const int kAddressSize = 20;
// The host list's result when GetHostList never ran: the worker had no
// window for its rows. Said as a failed download, with the cause.
const int kNoRowCollector = -1;

// What a host list refresh works with and ends with: its own copy of the
// account, taken on the window thread, which may change it meanwhile, and
// GetHostList's result. Made on the window thread, handed to the worker,
// and posted back with the result; the window thread frees it.
struct HostRefresh {
    HWND page; // the Home page, which receives the result
    HWND progress;
    char userName[sizeof ConfigSettings::userName];
    char password[sizeof ConfigSettings::password];
    int result;
    char cause[256]; // why the download failed, in words
    // The list as GetHostList handed it over, row by row.
    bool begun = false;
    bool ended = false;
    std::vector<std::string> rows;
};

// What an address refresh ends with, posted back the same way.
struct AddressRefresh {
    HWND page;
    HWND progress;
    char address[kAddressSize];
};

HWND FrameOf(const HomeState &home) { return GetParent(home.page); }

void RepaintHostList(const HomeState &home)
{
    HWND list = HostList(home);
    InvalidateRect(list, NULL, TRUE);
    UpdateWindow(list);
    ShowWindow(list, SW_HIDE);
    ShowWindow(list, SW_SHOW);
}

// GetHostList sends each row to a window and waits while it is handled:
// the worker gives it a message-only window of its own thread, which only
// gathers the rows, so that no window of the main thread is ever waited on.
LRESULT CALLBACK RowCollectorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    HostRefresh *refresh = WindowState<HostRefresh>(window, message, lParam);
    if (!refresh)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case kMsgHostListBegin:
        refresh->begun = true;
        refresh->rows.clear();
        return 0;
    case kMsgHostListHost:
        // The text is the sender's, good only while this message is handled.
        refresh->rows.emplace_back((const char *)lParam, strnlen((const char *)lParam, (size_t)wParam));
        return 0;
    case kMsgHostListEnd:
        refresh->ended = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateRowCollector(HostRefresh *refresh)
{
    static const char kCollectorClass[] = "TalvexHostRowCollector";
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RowCollectorProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = kCollectorClass;
    RegisterClassA(&wc); // fails harmlessly once registered
    return CreateWindowExA(0, kCollectorClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, refresh);
}

// Worker: downloads the list into its own collector and posts the result,
// rows included. It touches no window of the main thread.
DWORD WINAPI HostRefreshThread(void *parameter)
{
    HostRefresh *refresh = (HostRefresh *)parameter;
    HWND collector = CreateRowCollector(refresh);
    if (collector) {
        refresh->result = GetHostList(refresh->userName, refresh->password, collector);
        GetLastFailure(refresh->cause, sizeof refresh->cause);
        DestroyWindow(collector);
    } else {
        refresh->result = kNoRowCollector;
        lstrcpynA(refresh->cause, DescribeError(GetLastError()).c_str(), sizeof refresh->cause);
    }
    PostResult(refresh->page, kMsgHostRefreshDone, refresh);
    return 0;
}

// Worker: asks the address-check page and posts what it found.
DWORD WINAPI AddressRefreshThread(void *parameter)
{
    AddressRefresh *refresh = (AddressRefresh *)parameter;
    GetPublicAddress(refresh->address, sizeof refresh->address);
    PostResult(refresh->page, kMsgShowAddress, refresh);
    return 0;
}

} // namespace

void StartHostListRefresh(HomeState &home)
{
    const ConfigSettings &settings = *home.settings;
    HWND frame = FrameOf(home);
    if (home.refreshing || home.hostWorker)
        return;
    if (!Account_IsUsable(settings.userName, settings.password)) {
        MessageBoxA(frame, kNeedAccount, kNeedAccountCaption, MB_OK | MB_ICONERROR);
        return;
    }
    home.hostWorker = true;
    HostRefresh *refresh = new HostRefresh();
    refresh->page = home.page;
    lstrcpynA(refresh->userName, settings.userName, sizeof refresh->userName);
    lstrcpynA(refresh->password, settings.password, sizeof refresh->password);
    refresh->progress = CreateProgressWindow(frame);
    EnableWindow(frame, FALSE);
    EnableWindow(home.page, FALSE);
    if (!StartWorker(HostRefreshThread, refresh, kHostThreadFailed)) {
        CloseProgressWindow(refresh->progress, frame);
        EnableWindow(frame, TRUE); // also when the progress window never opened
        EnableWindow(home.page, TRUE);
        delete refresh;
        home.hostWorker = false;
    }
}

void OnHostRefreshDone(HomeState &home, LPARAM result)
{
    std::unique_ptr<HostRefresh> refresh((HostRefresh *)result);
    HWND frame = FrameOf(home);
    // The rows, as GetHostList handed them over.
    if (refresh->begun) {
        BeginHostRows(home);
        for (const std::string &row : refresh->rows)
            AddHostRow(home, row.data(), row.size());
    }
    if (refresh->ended)
        EndHostRows(home);
    // GetHostList ends a list only when it succeeds; the end also gives
    // the saved selection back when no row arrived.
    if (refresh->result != HOSTLIST_OK) {
        EndHostRows(home);
        bool refused = refresh->result == HOSTLIST_REFUSED;
        // A refused login stored the critical status: the panel shows it now.
        if (refused)
            TellFrame(home.page, kMsgShowStatus, (WPARAM)kStatusCritical);
        // After Cancel the progress window is gone: the main window owns the box.
        HWND owner = IsWindow(refresh->progress) ? refresh->progress : frame;
        // A download that failed gives its cause on a line of its own.
        std::string text = refused ? kCredentialsRefused : kRefreshFailed;
        if (!refused && refresh->cause[0])
            text = text + "\n\n" + refresh->cause + ".";
        MessageBoxA(owner, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
    }
    home.refreshing = false;
    // Done before the main window is usable again, so that a refresh asked
    // for right then is not refused.
    home.hostWorker = false;
    CloseProgressWindow(refresh->progress, frame);
    EnableWindow(home.page, TRUE);
    RepaintHostList(home);
}

bool StartAddressRefresh(HomeState &home)
{
    if (home.addressWorker)
        return false;
    home.addressWorker = true;
    HWND page = home.page;
    AddressRefresh *refresh = new AddressRefresh();
    refresh->page = page;
    refresh->progress = CreateProgressWindow(page);
    EnableWindow(page, FALSE);
    if (!StartWorker(AddressRefreshThread, refresh, kAddressThreadFailed)) {
        CloseProgressWindow(refresh->progress, page);
        EnableWindow(page, TRUE);
        delete refresh;
        home.addressWorker = false;
    }
    return true;
}

std::string OnAddressFound(HomeState &home, LPARAM result)
{
    std::unique_ptr<AddressRefresh> refresh((AddressRefresh *)result);
    ConfigSettings &settings = *home.settings;
    HWND page = home.page;
    bool valid = IsValidIP(refresh->address);
    lstrcpynA(settings.detectedAddress, valid ? refresh->address : "", sizeof settings.detectedAddress);
    lstrcpynA(settings.currentAddress, refresh->address, sizeof settings.currentAddress);
    home.addressWorker = false;
    CloseProgressWindow(refresh->progress, page);
    EnableWindow(page, TRUE);
    return valid ? refresh->address : kUnknownAddress;
}

void StartOrStopUpdater(HWND link, bool start)
{
    EnableWindow(link, FALSE);
    SwitchUpdaterInBackground(start);
}

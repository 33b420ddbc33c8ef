// The Home page's background work: the public address check, the host list
// download and starting or stopping the updater, each on a short worker
// thread so that the window never waits on the network or the service.
// A worker only computes and posts its result to the main window, whose
// thread applies it: the workers touch no window and no shared state.
#include "refresh.h"

#include "config_ids.h"
#include "error_text.h"
#include "host_list.h"
#include "page_common.h"
#include "progress_window.h"
#include "status_panel.h"
#include "program.h"
#include "signals.h"
#include "tallib.h"
#include "talvex_settings.h"

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

// What a host list refresh works with and ends with: its own copy of the
// account, taken on the main thread, which may change it meanwhile, and
// GetHostList's result. Made on the main thread, handed to the worker, and
// posted back with the result; the main thread frees it.
struct HostRefresh {
    HWND window; // the main window, which receives the result
    HWND progress;
    char userName[sizeof ConfigApp::userName];
    char password[sizeof ConfigApp::password];
    int result;
    char cause[256]; // why the download failed, in words
    // The list as GetHostList handed it over, row by row.
    bool begun = false;
    bool ended = false;
    std::vector<std::string> rows;
};

// What an address refresh ends with, posted back the same way.
struct AddressRefresh {
    HWND window;
    HWND progress;
    char address[kAddressSize];
};

HWND HomePage(const ConfigApp &app) { return app.pages[kPageHome]; }

void RepaintHostList(const ConfigApp &app)
{
    HWND list = HostList(app);
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
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTA *)lParam)->lpCreateParams);
    HostRefresh *refresh = (HostRefresh *)GetWindowLongPtrA(window, GWLP_USERDATA);
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
        refresh->result = -1;
        lstrcpynA(refresh->cause, DescribeError(GetLastError()).c_str(), sizeof refresh->cause);
    }
    if (!PostMessageA(refresh->window, kMsgHostRefreshDone, 0, (LPARAM)refresh))
        delete refresh; // the window is gone
    return 0;
}

// The address as the address-check page reports it, on the port the proxy
// mode calls for; the first check finds out the mode.
void DetectAddress(char *answer, int size)
{
    char direct[kAddressSize] = "";
    char alternate[kAddressSize] = "";
    int proxy = GetProxy();
    const char *found = direct;
    if (proxy == -1) {
        int behind = IsBehindProxy(direct, kAddressSize, alternate, kAddressSize);
        SetProxy(behind == 1 ? 1 : 0);
        found = behind == 1 ? alternate : direct;
    } else if (proxy == 1) {
        GetIP(alternate, kAddressSize, 1);
        found = alternate;
    } else {
        GetIP(direct, kAddressSize, 0);
    }
    lstrcpynA(answer, found, size);
}

// Worker: asks the address-check page and posts what it found.
DWORD WINAPI AddressRefreshThread(void *parameter)
{
    AddressRefresh *refresh = (AddressRefresh *)parameter;
    DetectAddress(refresh->address, sizeof refresh->address);
    if (!PostMessageA(refresh->window, kMsgShowAddress, 0, (LPARAM)refresh))
        delete refresh;
    return 0;
}

} // namespace

void StartHostListRefresh(ConfigApp &app)
{
    if (app.refreshing || app.hostWorker)
        return;
    if (strlen(app.userName) < 3) {
        MessageBoxA(app.window, kNeedAccount, kNeedAccountCaption, MB_OK | MB_ICONERROR);
        return;
    }
    app.hostWorker = true;
    HostRefresh *refresh = new HostRefresh();
    refresh->window = app.window;
    lstrcpynA(refresh->userName, app.userName, sizeof refresh->userName);
    lstrcpynA(refresh->password, app.password, sizeof refresh->password);
    refresh->progress = CreateProgressWindow(app.window);
    EnableWindow(app.window, FALSE);
    EnableWindow(HomePage(app), FALSE);
    if (!StartWorker(HostRefreshThread, refresh)) {
        LogToFile(kHostThreadFailed, 1, 1);
        CloseProgressWindow(refresh->progress, app.window);
        EnableWindow(app.window, TRUE); // also when the progress window never opened
        EnableWindow(HomePage(app), TRUE);
        delete refresh;
        app.hostWorker = false;
    }
}

void OnHostRefreshDone(ConfigApp &app, LPARAM result)
{
    std::unique_ptr<HostRefresh> refresh((HostRefresh *)result);
    // The rows, through the same handlers as GetHostList's own messages.
    if (refresh->begun) {
        OnHostListBegin(app);
        for (const std::string &row : refresh->rows)
            OnHostListHost(app, row.data(), row.size());
    }
    if (refresh->ended)
        OnHostListEnd(app);
    // GetHostList ends a list only when it succeeds; the end also gives
    // the saved selection back when no row arrived.
    if (refresh->result != 0) {
        OnHostListEnd(app);
        // A refused login stored the critical status: the panel shows it now.
        if (refresh->result == 1)
            ApplyStatus(app, kStatusCritical);
        // After Cancel the progress window is gone: the main window owns the box.
        HWND owner = IsWindow(refresh->progress) ? refresh->progress : app.window;
        // A download that failed gives its cause on a line of its own.
        std::string text = refresh->result == 1 ? kCredentialsRefused : kRefreshFailed;
        if (refresh->result != 1 && refresh->cause[0])
            text = text + "\n\n" + refresh->cause + ".";
        MessageBoxA(owner, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
    }
    app.refreshing = false;
    // Done before the main window is usable again, so that a refresh asked
    // for right then is not refused.
    app.hostWorker = false;
    CloseProgressWindow(refresh->progress, app.window);
    EnableWindow(HomePage(app), TRUE);
    RepaintHostList(app);
}

void StartAddressRefresh(ConfigApp &app)
{
    if (app.addressWorker)
        return;
    app.addressWorker = true;
    HWND page = HomePage(app);
    AddressRefresh *refresh = new AddressRefresh();
    refresh->window = app.window;
    refresh->progress = CreateProgressWindow(page);
    SetDlgItemTextA(page, IDC_HOME_ADDRESS, "");
    EnableWindow(page, FALSE);
    if (!StartWorker(AddressRefreshThread, refresh)) {
        LogToFile(kAddressThreadFailed, 1, 1);
        CloseProgressWindow(refresh->progress, page);
        EnableWindow(page, TRUE);
        delete refresh;
        app.addressWorker = false;
    }
}

void OnAddressFound(ConfigApp &app, LPARAM result)
{
    std::unique_ptr<AddressRefresh> refresh((AddressRefresh *)result);
    HWND page = HomePage(app);
    bool valid = IsValidIP(refresh->address);
    lstrcpynA(app.detectedAddress, valid ? refresh->address : "", sizeof app.detectedAddress);
    lstrcpynA(app.currentAddress, refresh->address, sizeof app.currentAddress);
    SetDlgItemTextA(page, IDC_HOME_ADDRESS, valid ? refresh->address : kUnknownAddress);
    app.addressWorker = false;
    CloseProgressWindow(refresh->progress, page);
    EnableWindow(page, TRUE);
}

void StartOrStopUpdater(HWND link, bool start)
{
    EnableWindow(link, FALSE);
    SwitchUpdaterInBackground(start);
}

// The Home page's background work: the public address check, the host list
// download and starting or stopping the updater, each on a short worker
// thread so that the window never waits on the network or the service.
#include "pages.h"

#include "config_ids.h"
#include "signals.h"
#include "tallib.h"
#include "talvex_settings.h"

#include <commctrl.h>
#include <string.h>

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

// One refresh of each kind at a time: after the progress window's Cancel
// the window is usable while the first refresh still runs, and a second
// download would interleave its rows with the first's.
volatile LONG g_hostWorker = 0;
volatile LONG g_addressWorker = 0;

// What a host list refresh thread works with: its own copy of the account,
// taken on the main thread, which may change it meanwhile.
struct HostRefresh {
    HWND progress;
    char userName[sizeof g_app.userName];
    char password[sizeof g_app.password];
};

HWND HomePage() { return g_app.pages[kPageHome]; }

void RepaintHostList()
{
    HWND list = HostList();
    InvalidateRect(list, NULL, TRUE);
    UpdateWindow(list);
    ShowWindow(list, SW_HIDE);
    ShowWindow(list, SW_SHOW);
}

DWORD WINAPI HostRefreshThread(void *parameter)
{
    HostRefresh *refresh = (HostRefresh *)parameter;
    EnableWindow(HomePage(), FALSE);
    int result = GetHostList(refresh->userName, refresh->password, g_app.window);
    // GetHostList ends a list only when it succeeds; the end message also
    // gives the saved selection back when no row arrived.
    if (result != 0)
        SendMessageA(g_app.window, kMsgHostListEnd, 0, 0);
    if (result != 0) {
        // After Cancel the progress window is gone: the main window owns the box.
        HWND owner = IsWindow(refresh->progress) ? refresh->progress : g_app.window;
        MessageBoxA(owner, result == 1 ? kCredentialsRefused : kRefreshFailed, kCaption, MB_OK | MB_ICONERROR);
    }
    InterlockedExchange(&g_app.refreshing, 0);
    HWND progress = refresh->progress;
    delete refresh;
    // Done before the main window is usable again, so that a refresh asked
    // for right then is not refused.
    InterlockedExchange(&g_hostWorker, 0);
    CloseProgressWindow(progress, g_app.window);
    EnableWindow(HomePage(), TRUE);
    RepaintHostList();
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

DWORD WINAPI AddressRefreshThread(void *parameter)
{
    HWND progress = (HWND)parameter;
    HWND page = HomePage();
    EnableWindow(page, FALSE);
    char answer[kAddressSize] = "";
    DetectAddress(answer, sizeof answer);
    lstrcpynA(g_app.detectedAddress, answer, sizeof g_app.detectedAddress);
    lstrcpynA(g_app.currentAddress, answer, sizeof g_app.currentAddress);
    if (IsValidIP(answer)) {
        SetDlgItemTextA(page, IDC_HOME_ADDRESS, answer);
    } else {
        g_app.detectedAddress[0] = '\0';
        SetDlgItemTextA(page, IDC_HOME_ADDRESS, kUnknownAddress);
    }
    InterlockedExchange(&g_addressWorker, 0);
    CloseProgressWindow(progress, page);
    EnableWindow(page, TRUE);
    return 0;
}

struct UpdaterSwitch {
    bool start;
};

DWORD WINAPI UpdaterSwitchThread(void *parameter)
{
    UpdaterSwitch *change = (UpdaterSwitch *)parameter;
    if (change->start)
        StartUpdater();
    else
        StopUpdater();
    delete change;
    return 0;
}

} // namespace

void StartHostListRefresh()
{
    if (g_app.refreshing || g_hostWorker)
        return;
    if (strlen(g_app.userName) < 3) {
        MessageBoxA(g_app.window, kNeedAccount, kNeedAccountCaption, MB_OK | MB_ICONERROR);
        return;
    }
    InterlockedExchange(&g_hostWorker, 1);
    HostRefresh *refresh = new HostRefresh();
    lstrcpynA(refresh->userName, g_app.userName, sizeof refresh->userName);
    lstrcpynA(refresh->password, g_app.password, sizeof refresh->password);
    refresh->progress = CreateProgressWindow(g_app.window);
    EnableWindow(g_app.window, FALSE);
    if (!StartWorker(HostRefreshThread, refresh)) {
        LogToFile(kHostThreadFailed, 1, 1);
        CloseProgressWindow(refresh->progress, g_app.window);
        EnableWindow(g_app.window, TRUE); // also when the progress window never opened
        delete refresh;
        InterlockedExchange(&g_hostWorker, 0);
    }
}

void StartAddressRefresh()
{
    if (g_addressWorker)
        return;
    InterlockedExchange(&g_addressWorker, 1);
    HWND page = HomePage();
    HWND progress = CreateProgressWindow(page);
    SetDlgItemTextA(page, IDC_HOME_ADDRESS, "");
    if (!StartWorker(AddressRefreshThread, progress)) {
        LogToFile(kAddressThreadFailed, 1, 1);
        CloseProgressWindow(progress, page);
        InterlockedExchange(&g_addressWorker, 0);
    }
}

void StartOrStopUpdater(HWND link, bool start)
{
    EnableWindow(link, FALSE);
    UpdaterSwitch *change = new UpdaterSwitch{start};
    if (!StartWorker(UpdaterSwitchThread, change)) {
        // No thread: do it here rather than not at all.
        UpdaterSwitchThread(change);
    }
}

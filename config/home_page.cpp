// The Home page: the account and the updater's state, the links that
// change them, and the host list the updater keeps current. The page alone
// sets its controls; the frame says what to show through the functions of
// home_page.h.
#include "home_page.h"

#include "account_dialog.h"
#include "clipboard.h"
#include "config_ids.h"
#include "home_state.h"
#include "host_list.h"
#include "page_common.h"
#include "page_dialog.h"
#include "refresh.h"
#include "tal_link.h"
#include "tallib.h"
#include "talvex_settings.h"

#include <commctrl.h>

namespace {

const char kDetecting[] = "Detecting...";
const char kManageQuestion[] = "Would you like visit Talvex to manage your Host Services?\n\nIf you select Yes, your "
                               "default web browser will be opened.";

const int kLinks[] = {IDC_CHANGE_USER,  IDC_VIEW_LOGS,     IDC_REFRESH_IP,  IDC_START_UPDATER, IDC_STOP_UPDATER,
                      IDC_REFRESH_HOSTS, IDC_MANAGE_HOSTS, IDC_CHECK_ALL,   IDC_CHECK_NONE,    IDC_CHECK_INVERSE};

struct Tip {
    int id;
    const char *text;
};
const Tip kTips[] = {
    {IDC_CHANGE_USER, "Login to Talvex as a different user."},
    {IDC_VIEW_LOGS, "View the Updater's history and troubleshoot problems."},
    {IDC_REFRESH_IP, "Automatically determine your current global IP."},
    {IDC_START_UPDATER, "Enable the Updater:  Your hosts will resolve properly should your IP address change."},
    {IDC_STOP_UPDATER, "Disable the Updater:  Your hosts will NOT resolve properly should your IP address change."},
    {IDC_REFRESH_HOSTS, "Download an up-to-date list of your hosts from Talvex"},
    {IDC_MANAGE_HOSTS, "Visit Talvex to add, modify, and remove your hosts."},
};

void InitHomePage(HWND page, HomeState &home)
{
    home.page = page;
    FitPageToFrame(page, home.scale);
    for (int id : kLinks)
        AttachLink(GetDlgItem(page, id));
    for (const Tip &tip : kTips)
        CreateToolTip(tip.id, page, InstanceOf(page), tip.text);
    InitHostList(home);
    // Until a download replaces them, the saved hosts are the rows, so that
    // a save before any download keeps the selection.
    GiveBackSavedSelection(home);
}

// One check at a time; the field stays empty while it runs.
void RefreshAddress(HomeState &home)
{
    if (StartAddressRefresh(home))
        SetDlgItemTextA(home.page, IDC_HOME_ADDRESS, "");
}

void ChangeUser(HomeState &home)
{
    if (!RunAccountDialog(GetParent(home.page), *home.settings))
        return;
    SetDlgItemTextA(home.page, IDC_HOME_USER, home.settings->userName);
    TellFrame(home.page, kMsgPageChanged, 0);
    if (home.settings->sync == 1)
        StartHostListRefresh(home);
}

void OnHomeCommand(HWND page, HomeState &home, int id)
{
    switch (id) {
    case IDC_CHANGE_USER:
        ChangeUser(home);
        break;
    case IDC_VIEW_LOGS:
        TellFrame(page, kMsgShowPage, kPageLogs);
        break;
    case IDC_REFRESH_IP:
        RefreshAddress(home);
        break;
    case IDC_START_UPDATER:
    case IDC_STOP_UPDATER:
        StartOrStopUpdater(GetDlgItem(page, id), id == IDC_START_UPDATER);
        break;
    case IDC_REFRESH_HOSTS:
        StartHostListRefresh(home);
        break;
    case IDC_MANAGE_HOSTS:
        AskAndOpen(page, kManageQuestion, TALVEX_HOSTS_URL);
        break;
    case IDC_CHECK_ALL:
    case IDC_CHECK_NONE:
    case IDC_CHECK_INVERSE:
    case IDM_CHECK_SELECTED:
    case IDM_UNCHECK_SELECTED:
        RunCheckCommand(home, id);
        break;
    case IDM_COPY_HOSTS:
        // The main window holds the clipboard while it copies.
        CopyTextToClipboard(GetParent(page), SelectedHostsText(home).c_str());
        break;
    }
}

BOOL OnHomeNotify(HWND page, HomeState &home, NMHDR *header)
{
    if (header->idFrom == IDC_HOST_LIST && header->code == LVN_ITEMCHANGED &&
        IsHostCheckChange(home, (const NMLISTVIEW *)header))
        TellFrame(page, kMsgPageChanged, 0);
    return FALSE;
}

bool OnHomeContextMenu(HWND page, HomeState &, HWND control, LPARAM position)
{
    return ShowContextMenu(page, control, IDC_HOST_LIST, 0, position);
}

// The refreshes' results, posted by their workers; the window's new scale.
bool OnHomeResult(HWND, HomeState &home, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case kMsgPageScaleChanged:
        if (lParam)
            RescaleHostList(home, *(const ScreenScale *)lParam);
        return true;
    case kMsgShowAddress:
        SetDlgItemTextA(home.page, IDC_HOME_ADDRESS, OnAddressFound(home, lParam).c_str());
        return true;
    case kMsgHostRefreshDone:
        OnHostRefreshDone(home, lParam);
        return true;
    }
    return false;
}

const PageKind<HomeState> kHomePage = {.look = HandlePageMessage,
                                       .init = InitHomePage,
                                       .command = OnHomeCommand,
                                       .notify = OnHomeNotify,
                                       .contextMenu = OnHomeContextMenu,
                                       .other = OnHomeResult};

} // namespace

HWND CreateHomePage(HWND frame, ScreenScale scale, ConfigSettings &settings)
{
    HomeState *home = new HomeState();
    home->scale = scale;
    home->settings = &settings;
    return CreatePage(InstanceOf(frame), IDD_HOME, frame, kHomePage, home);
}

void ShowUserName(HWND page, const char *name)
{
    if (PageState(page, kHomePage))
        SetDlgItemTextA(page, IDC_HOME_USER, name);
}

void ShowLastUpdate(HWND page, const char *time)
{
    if (PageState(page, kHomePage))
        SetDlgItemTextA(page, IDC_HOME_LAST_UPDATE, time);
}

void ShowUpdaterDetecting(HWND page)
{
    if (PageState(page, kHomePage))
        SetDlgItemTextA(page, IDC_HOME_UPDATER, kDetecting);
}

void ShowUpdaterRunning(HWND page, bool running)
{
    if (!PageState(page, kHomePage))
        return;
    SetDlgItemTextA(page, IDC_HOME_UPDATER, running ? "On" : "Off");
    HWND start = GetDlgItem(page, IDC_START_UPDATER), stop = GetDlgItem(page, IDC_STOP_UPDATER);
    HWND shown = running ? stop : start, hidden = running ? start : stop;
    EnableWindow(hidden, FALSE);
    ShowWindow(hidden, SW_HIDE);
    EnableWindow(shown, TRUE);
    ShowWindow(shown, SW_SHOW);
}

void RefreshHomePage(HWND page, bool withHostList)
{
    HomeState *home = PageState(page, kHomePage);
    if (!home)
        return;
    if (withHostList)
        StartHostListRefresh(*home);
    RefreshAddress(*home);
}

HomeState *HomePageState(HWND page) { return PageState(page, kHomePage); }

bool ChosenHosts(HWND page, std::vector<std::string> &hosts)
{
    const HomeState *home = PageState(page, kHomePage);
    if (!home)
        return false;
    hosts = CheckedHostNames(*home);
    return true;
}

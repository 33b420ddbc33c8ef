// The Home page: the account and the updater's state, the links that
// change them, and the host list the updater keeps current.
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

HomeState &HomeOf(void *state) { return *(HomeState *)state; }

void InitHomePage(HWND page, void *state)
{
    HomeState &home = HomeOf(state);
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

void ChangeUser(HomeState &home)
{
    if (!RunAccountDialog(GetParent(home.page), *home.settings))
        return;
    SetDlgItemTextA(home.page, IDC_HOME_USER, home.settings->userName);
    TellFrame(home.page, kMsgPageChanged, 0);
    if (home.settings->sync == 1)
        StartHostListRefresh(home);
}

void OnHomeCommand(HWND page, void *state, int id)
{
    HomeState &home = HomeOf(state);
    switch (id) {
    case IDC_CHANGE_USER:
        ChangeUser(home);
        break;
    case IDC_VIEW_LOGS:
        TellFrame(page, kMsgShowPage, kPageLogs);
        break;
    case IDC_REFRESH_IP:
        StartAddressRefresh(home);
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

BOOL OnHomeNotify(HWND page, void *state, NMHDR *header)
{
    if (header->idFrom == IDC_HOST_LIST && header->code == LVN_ITEMCHANGED &&
        IsHostCheckChange(HomeOf(state), (const NMLISTVIEW *)header))
        TellFrame(page, kMsgPageChanged, 0);
    return FALSE;
}

bool OnHomeContextMenu(HWND page, void *, HWND control, LPARAM position)
{
    return ShowContextMenu(page, control, IDC_HOST_LIST, 0, position);
}

// The refreshes' results, posted by their workers.
bool OnHomeResult(HWND, void *state, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case kMsgShowAddress:
        OnAddressFound(HomeOf(state), lParam);
        return true;
    case kMsgHostRefreshDone:
        OnHostRefreshDone(HomeOf(state), lParam);
        return true;
    }
    return false;
}

void FreeHome(void *state) { delete (HomeState *)state; }

const PageHandlers kHomeHandlers = {HandlePageMessage, InitHomePage,  OnHomeCommand, OnHomeNotify,
                                    OnHomeContextMenu, NULL,          OnHomeResult,  FreeHome};

} // namespace

HWND CreateHomePage(HWND frame, ScreenScale scale, ConfigSettings &settings)
{
    HomeState *home = new HomeState();
    home->scale = scale;
    home->settings = &settings;
    return CreatePage(InstanceOf(frame), IDD_HOME, frame, kHomeHandlers, home);
}

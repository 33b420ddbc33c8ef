// The Home page: the account and the updater's state, the links that
// change them, and the host list the updater keeps current.
#include "pages.h"

#include "config_ids.h"
#include "frame.h"
#include "host_list.h"
#include "page_common.h"
#include "refresh.h"
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

void InitHomePage(HWND page)
{
    FitPageToFrame(page);
    for (int id : kLinks)
        AttachLink(GetDlgItem(page, id));
    for (const Tip &tip : kTips)
        CreateToolTip(tip.id, page, AppOf(page).instance, tip.text);
    InitHostList(page);
    // Until a download replaces them, the saved hosts are the rows, so that
    // a save before any download keeps the selection.
    GiveBackSavedSelection(AppOf(page), GetDlgItem(page, IDC_HOST_LIST));
}

void ChangeUser(ConfigApp &app, HWND page)
{
    if (!RunAccountDialog(app))
        return;
    SetDlgItemTextA(page, IDC_HOME_USER, app.userName);
    EnableApply(app);
    if (app.sync == 1)
        StartHostListRefresh(app);
}

void OnHomeCommand(HWND page, int id)
{
    ConfigApp &app = AppOf(page);
    switch (id) {
    case IDC_CHANGE_USER:
        ChangeUser(app, page);
        break;
    case IDC_VIEW_LOGS:
        ShowPage(app, kPageLogs);
        break;
    case IDC_REFRESH_IP:
        StartAddressRefresh(app);
        break;
    case IDC_START_UPDATER:
    case IDC_STOP_UPDATER:
        StartOrStopUpdater(GetDlgItem(page, id), id == IDC_START_UPDATER);
        break;
    case IDC_REFRESH_HOSTS:
        StartHostListRefresh(app);
        break;
    case IDC_MANAGE_HOSTS:
        AskAndOpen(page, kManageQuestion, TALVEX_HOSTS_URL);
        break;
    case IDC_CHECK_ALL:
    case IDC_CHECK_NONE:
    case IDC_CHECK_INVERSE:
    case IDM_CHECK_SELECTED:
    case IDM_UNCHECK_SELECTED:
        RunCheckCommand(app, id);
        break;
    case IDM_COPY_HOSTS:
        CopySelectedHosts(app);
        break;
    }
}

void OnHomeNotify(HWND page, const NMHDR *header)
{
    if (header->idFrom == IDC_HOST_LIST && header->code == LVN_ITEMCHANGED)
        OnHostRowChanged(AppOf(page), (const NMLISTVIEW *)header);
}

} // namespace

INT_PTR CALLBACK HomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = 0;
    if (HandlePageMessage(page, message, wParam, lParam, &result))
        return result;
    switch (message) {
    case WM_INITDIALOG:
        InitHomePage(page);
        return TRUE;
    case WM_COMMAND:
        // Links, menu items and accelerators report code 0 (BN_CLICKED).
        if (HIWORD(wParam) != 0)
            return FALSE;
        OnHomeCommand(page, LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        OnHomeNotify(page, (const NMHDR *)lParam);
        return FALSE;
    case WM_CONTEXTMENU:
        if ((HWND)wParam == GetDlgItem(page, IDC_HOST_LIST)) {
            ShowContextMenu(page, 0, lParam);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

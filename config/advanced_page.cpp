// The Advanced page: the five options (read when the settings are saved)
// and the version line with the upgrade link.
#include "pages.h"

#include "config_ids.h"
#include "frame.h"
#include "page_common.h"
#include "tallib.h"
#include "talvex_settings.h"

namespace {

const char kVersionLine[] = "Talvex Updater v" TALVEX_VERSION;
const char kUpgradeTip[] = "Download the latest version of the Talvex Updater.";

void InitAdvancedPage(HWND page)
{
    const ConfigApp &app = AppOf(page);
    FitPageToFrame(page);
    SetDlgItemTextA(page, IDC_VERSION_TEXT, kVersionLine);
    HWND link = GetDlgItem(page, IDC_UPGRADE_LINK);
    AttachLink(link);
    CreateToolTip(IDC_UPGRADE_LINK, page, app.instance, kUpgradeTip);
    EnableWindow(link, FALSE); // until the version check finds an upgrade
    const struct {
        int id;
        int value;
    } boxes[] = {{IDC_OPT_LOAD_ICON, app.loadIcon},
                 {IDC_OPT_START_WITH_OS, app.startWithOS},
                 {IDC_OPT_SYNC, app.sync},
                 {IDC_OPT_NOTIFY, app.notify},
                 {IDC_OPT_UPGRADE, app.upgrade}};
    for (const auto &box : boxes)
        CheckDlgButton(page, box.id, box.value == 1 ? BST_CHECKED : BST_UNCHECKED);
    if (app.upgrade == 0)
        ShowWindow(link, SW_HIDE);
}

void OnAdvancedCommand(HWND page, int id)
{
    switch (id) {
    case IDC_OPT_LOAD_ICON:
    case IDC_OPT_START_WITH_OS:
    case IDC_OPT_SYNC:
    case IDC_OPT_NOTIFY:
    case IDC_OPT_UPGRADE:
        EnableApply(AppOf(page));
        break;
    case IDC_UPGRADE_LINK:
        // Only once the version check has enabled it.
        if (IsWindowEnabled(GetDlgItem(page, IDC_UPGRADE_LINK)))
            Execute_Upgrade(NULL);
        break;
    }
}

} // namespace

INT_PTR CALLBACK AdvancedPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = 0;
    if (HandlePageMessage(page, message, wParam, lParam, &result))
        return result;
    switch (message) {
    case WM_INITDIALOG:
        InitAdvancedPage(page);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        OnAdvancedCommand(page, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

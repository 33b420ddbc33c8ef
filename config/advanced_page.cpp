// The Advanced page: the five options (read when the settings are saved)
// and the version line with the upgrade link.
#include "advanced_page.h"

#include "config_ids.h"
#include "page_common.h"
#include "page_dialog.h"
#include "tal_link.h"
#include "tallib.h"
#include "talvex_settings.h"

namespace {

const char kVersionLine[] = "Talvex Updater v" TALVEX_VERSION;
const char kUpgradeTip[] = "Download the latest version of the Talvex Updater.";

// What the frame hands the page: the options it shows when it opens.
struct AdvancedState {
    ScreenScale scale;
    const ConfigSettings *settings;
};

void InitAdvancedPage(HWND page, void *state)
{
    const AdvancedState &advanced = *(const AdvancedState *)state;
    const ConfigSettings &settings = *advanced.settings;
    FitPageToFrame(page, advanced.scale);
    SetDlgItemTextA(page, IDC_VERSION_TEXT, kVersionLine);
    HWND link = GetDlgItem(page, IDC_UPGRADE_LINK);
    AttachLink(link);
    CreateToolTip(IDC_UPGRADE_LINK, page, InstanceOf(page), kUpgradeTip);
    EnableWindow(link, FALSE); // until the version check finds an upgrade
    const struct {
        int id;
        int value;
    } boxes[] = {{IDC_OPT_LOAD_ICON, settings.loadIcon},
                 {IDC_OPT_START_WITH_OS, settings.startWithOS},
                 {IDC_OPT_SYNC, settings.sync},
                 {IDC_OPT_NOTIFY, settings.notify},
                 {IDC_OPT_UPGRADE, settings.upgrade}};
    for (const auto &box : boxes)
        CheckDlgButton(page, box.id, box.value == 1 ? BST_CHECKED : BST_UNCHECKED);
    if (settings.upgrade == 0)
        ShowWindow(link, SW_HIDE);
}

void OnAdvancedCommand(HWND page, void *, int id)
{
    switch (id) {
    case IDC_OPT_LOAD_ICON:
    case IDC_OPT_START_WITH_OS:
    case IDC_OPT_SYNC:
    case IDC_OPT_NOTIFY:
    case IDC_OPT_UPGRADE:
        TellFrame(page, kMsgPageChanged, 0);
        break;
    case IDC_UPGRADE_LINK:
        // Only once the version check has enabled it.
        if (IsWindowEnabled(GetDlgItem(page, IDC_UPGRADE_LINK)))
            Execute_Upgrade(NULL);
        break;
    }
}

void FreeAdvanced(void *state) { delete (AdvancedState *)state; }

const PageHandlers kAdvancedHandlers = {HandlePageMessage, InitAdvancedPage, OnAdvancedCommand, NULL, NULL, NULL,
                                        NULL, FreeAdvanced};

} // namespace

HWND CreateAdvancedPage(HWND frame, ScreenScale scale, const ConfigSettings &settings)
{
    return CreatePage(InstanceOf(frame), IDD_ADVANCED, frame, kAdvancedHandlers, new AdvancedState{scale, &settings});
}

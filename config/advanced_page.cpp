// The Advanced page: the five options, kept as the user checks them and
// handed up when the settings are saved, and the version line with the
// upgrade link.
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
const char kLatestVersion[] = "You have the latest version.";
const char kUpgradeAvailable[] = "An upgrade is available!";

// The page's own state: what the frame handed it, then the options as the
// user checks them.
struct AdvancedState {
    ScreenScale scale;
    ConfigOptions chosen;
};

struct Box {
    int id;
    int ConfigOptions::*option;
};
const Box kBoxes[] = {{IDC_OPT_LOAD_ICON, &ConfigOptions::loadIcon},
                      {IDC_OPT_START_WITH_OS, &ConfigOptions::startWithOS},
                      {IDC_OPT_SYNC, &ConfigOptions::sync},
                      {IDC_OPT_NOTIFY, &ConfigOptions::notify},
                      {IDC_OPT_UPGRADE, &ConfigOptions::upgrade}};

const Box *BoxOf(int id)
{
    for (const Box &box : kBoxes)
        if (box.id == id)
            return &box;
    return NULL;
}

void InitAdvancedPage(HWND page, AdvancedState &advanced)
{
    FitPageToFrame(page, advanced.scale);
    SetDlgItemTextA(page, IDC_VERSION_TEXT, kVersionLine);
    HWND link = GetDlgItem(page, IDC_UPGRADE_LINK);
    AttachLink(link);
    CreateToolTip(IDC_UPGRADE_LINK, page, InstanceOf(page), kUpgradeTip);
    EnableWindow(link, FALSE); // until the version check finds an upgrade
    for (const Box &box : kBoxes)
        CheckDlgButton(page, box.id, advanced.chosen.*box.option == 1 ? BST_CHECKED : BST_UNCHECKED);
    if (advanced.chosen.upgrade == 0)
        ShowWindow(link, SW_HIDE);
}

void OnAdvancedCommand(HWND page, AdvancedState &advanced, int id)
{
    if (const Box *box = BoxOf(id)) {
        // A box counts as on only when checked.
        advanced.chosen.*box->option = IsDlgButtonChecked(page, id) == BST_CHECKED ? 1 : 0;
        TellFrame(page, kMsgPageChanged, 0);
        return;
    }
    // Only once the version check has enabled it.
    if (id == IDC_UPGRADE_LINK && IsWindowEnabled(GetDlgItem(page, IDC_UPGRADE_LINK)))
        Execute_Upgrade(NULL);
}

const PageKind<AdvancedState> kAdvancedPage = {
    .look = HandlePageMessage, .init = InitAdvancedPage, .command = OnAdvancedCommand};

} // namespace

HWND CreateAdvancedPage(HWND frame, ScreenScale scale, const ConfigOptions &options)
{
    return CreatePage(InstanceOf(frame), IDD_ADVANCED, frame, kAdvancedPage, new AdvancedState{scale, options});
}

const ConfigOptions *ChosenOptions(HWND page)
{
    const AdvancedState *advanced = PageState(page, kAdvancedPage);
    return advanced ? &advanced->chosen : NULL;
}

void ShowUpgradeAvailable(HWND page, bool available)
{
    if (!PageState(page, kAdvancedPage))
        return;
    HWND link = GetDlgItem(page, IDC_UPGRADE_LINK);
    EnableWindow(link, available ? TRUE : FALSE);
    SetWindowTextA(link, available ? kUpgradeAvailable : kLatestVersion);
}

// The Home page's host list: its rows as a download delivers them, the
// re-check of the saved selection, and the check and copy commands.
#include "host_list.h"

#include "accessible.h"
#include "config_ids.h"
#include "host_rows.h"
#include "host_selection.h"
#include "page_common.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

// The Enabled column's width at 96 dots per inch; Hostname takes the rest.
const int kEnabledColumnWidth = 42;

void AddGroup(HWND list, int id, const wchar_t *header)
{
    LVGROUP group = {};
    group.cbSize = LVGROUP_V5_SIZE; // understood by every version 6
    group.mask = LVGF_HEADER | LVGF_GROUPID | LVGF_ALIGN;
    group.pszHeader = (LPWSTR)header;
    group.iGroupId = id;
    group.uAlign = LVGA_HEADER_LEFT;
    SendMessageA(list, LVM_INSERTGROUP, (WPARAM)-1, (LPARAM)&group);
}

// One row at the end: group 0, an unchecked box, the name in column 1;
// checked when the saved selection names it.
void AddRow(const HomeState &home, HWND list, const std::string &name)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_GROUPID | LVIF_STATE;
    item.iItem = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    item.iGroupId = 0; // Dynamic DNS Hosts
    item.pszText = (char *)"";
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(kUnchecked);
    int row = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    if (row < 0)
        return;
    LVITEMA text = {};
    text.iSubItem = 1;
    text.pszText = (char *)name.c_str();
    SendMessageA(list, LVM_SETITEMTEXTA, (WPARAM)row, (LPARAM)&text);
    if (SelectionHasHost(home.settings->selectedHosts.c_str(), name))
        SetRowCheckState(list, row, kChecked);
}

void SetColumnWidths(const HomeState &home, HWND list)
{
    RECT client = {};
    GetClientRect(list, &client);
    int enabled = ScaleX(home.scale, kEnabledColumnWidth);
    int widths[2] = {enabled, client.right - enabled};
    // Only a width that differs: each change redraws the whole list.
    for (int column = 0; column < 2; ++column)
        if (SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0) != widths[column])
            SendMessageA(list, LVM_SETCOLUMNWIDTH, column, widths[column]);
}

CheckCommand CommandFor(int id)
{
    switch (id) {
    case IDC_CHECK_ALL:
        return kCheckAll;
    case IDC_CHECK_NONE:
        return kCheckNone;
    case IDC_CHECK_INVERSE:
        return kCheckInverse;
    case IDM_CHECK_SELECTED:
        return kCheckSelected;
    default:
        return kUncheckSelected;
    }
}

} // namespace

HWND HostList(const HomeState &home) { return GetDlgItem(home.page, IDC_HOST_LIST); }

void InitHostList(const HomeState &home)
{
    HWND list = HostList(home);
    const DWORD extended = LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    RECT client = {};
    GetClientRect(list, &client);
    AddColumn(list, 0, "Enabled", (int)(client.right * 0.1));
    AddColumn(list, 1, "Hostname", (int)(client.right * 0.9));
    // A row's first column is its box alone: it is read by the host's name.
    AttachAccessibleCheckList(list, 1);
    // Wine draws no groups (and answers their messages with 0): nothing
    // below depends on them, every row still shows there.
    SendMessageA(list, LVM_ENABLEGROUPVIEW, TRUE, 0);
    AddGroup(list, 0, L"Dynamic DNS Hosts");
    AddGroup(list, 1, L"Custom DNS Hosts");
    AddGroup(list, 2, L"Static DNS Hosts");
}

void BeginHostRows(HomeState &home)
{
    home.refreshing = true;
    HWND list = HostList(home);
    // Drawn once at the end, not once per arriving row.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    SetColumnWidths(home, list);
}

void AddHostRow(HomeState &home, const char *name, size_t length)
{
    HWND list = HostList(home);
    AddRow(home, list, HostNameOf(name, length));
    SetColumnWidths(home, list);
}

void EndHostRows(HomeState &home)
{
    home.refreshing = false;
    HWND list = HostList(home);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, NULL, TRUE);
    // A download that brought no row (a failed receive reads as an empty
    // list) must not cost the saved selection at the next save.
    GiveBackSavedSelection(home);
}

void GiveBackSavedSelection(HomeState &home)
{
    HWND list = HostList(home);
    if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) != 0)
        return;
    home.givingBack = true;
    for (const std::string &name : SelectionNames(home.settings->selectedHosts.c_str()))
        AddRow(home, list, HostNameOf(name.c_str(), name.size()));
    home.givingBack = false;
    SetColumnWidths(home, list);
}

bool IsHostCheckChange(const HomeState &home, const NMLISTVIEW *change)
{
    if (home.givingBack || !(change->uChanged & LVIF_STATE))
        return false;
    int oldState = (int)((change->uOldState & LVIS_STATEIMAGEMASK) >> 12);
    int newState = (int)((change->uNewState & LVIS_STATEIMAGEMASK) >> 12);
    return IsCheckChange(oldState, newState);
}

void RunCheckCommand(const HomeState &home, int id)
{
    HWND list = HostList(home);
    CheckCommand command = CommandFor(id);
    std::vector<HostRow> rows = ReadHostRows(list);
    for (size_t row = 0; row < rows.size(); ++row) {
        int next = StateAfter(command, rows[row].check, rows[row].selected);
        if (next != rows[row].check)
            SetRowCheckState(list, (int)row, next);
    }
}

std::string SelectedHostsText(const HomeState &home)
{
    std::vector<std::string> names;
    for (const HostRow &row : ReadHostRows(HostList(home)))
        if (row.selected)
            names.push_back(row.name);
    return CopiedHostNames(names);
}

std::vector<std::string> CheckedHostNames(const HomeState &home)
{
    std::vector<std::string> names;
    for (const HostRow &row : ReadHostRows(HostList(home)))
        if (row.check != kUnchecked && !row.name.empty())
            names.push_back(row.name);
    return names;
}

void RescaleHostList(HomeState &home, const ScreenScale &scale)
{
    home.scale = scale;
    SetColumnWidths(home, HostList(home));
}

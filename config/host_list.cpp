// The Home page's host list: its rows as GetHostList delivers them, the
// re-check of the saved selection, the check and copy commands, and the
// "Hosts" pop-up menu.
#include "host_list.h"

#include "config_ids.h"
#include "frame.h"
#include "page_common.h"
#include "host_selection.h"
#include "scoped.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

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

std::string RowName(HWND list, int row, size_t max)
{
    std::vector<char> text(max + 1, '\0');
    LVITEMA item = {};
    item.iSubItem = 1;
    item.pszText = text.data();
    item.cchTextMax = (int)text.size();
    SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
    return text.data();
}

// One row at the end: group 0, an unchecked box, the name in column 1;
// checked when the saved selection names it.
void AddHostRow(const ConfigApp &app, HWND list, const std::string &name)
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
    if (SelectionHasHost(app.selectedHosts, name))
        SetRowCheckState(list, row, kChecked);
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

HWND HostList(const ConfigApp &app) { return GetDlgItem(app.pages[kPageHome], IDC_HOST_LIST); }

void InitHostList(HWND page)
{
    HWND list = GetDlgItem(page, IDC_HOST_LIST);
    const DWORD extended = LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    RECT client = {};
    GetClientRect(list, &client);
    AddColumn(list, 0, "Enabled", (int)(client.right * 0.1));
    AddColumn(list, 1, "Hostname", (int)(client.right * 0.9));
    // Wine draws no groups (and answers their messages with 0): nothing
    // below depends on them, every row still shows there.
    SendMessageA(list, LVM_ENABLEGROUPVIEW, TRUE, 0);
    AddGroup(list, 0, L"Dynamic DNS Hosts");
    AddGroup(list, 1, L"Custom DNS Hosts");
    AddGroup(list, 2, L"Static DNS Hosts");
}

void SetHostColumnWidths(const ConfigApp &app, HWND list)
{
    RECT client = {};
    GetClientRect(list, &client);
    int widths[2] = {ScaleX(app, 42), client.right - ScaleX(app, 42)};
    // Only a width that differs: each change redraws the whole list.
    for (int column = 0; column < 2; ++column)
        if (SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0) != widths[column])
            SendMessageA(list, LVM_SETCOLUMNWIDTH, column, widths[column]);
}

void OnHostListBegin(ConfigApp &app)
{
    app.refreshing = true;
    HWND list = HostList(app);
    // Drawn once at the end, not once per arriving row.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    SetHostColumnWidths(app, list);
}

void OnHostListHost(ConfigApp &app, const char *name, size_t length)
{
    HWND list = HostList(app);
    AddHostRow(app, list, HostNameOf(name, length));
    SetHostColumnWidths(app, list);
}

void OnHostListEnd(ConfigApp &app)
{
    app.refreshing = false;
    HWND list = HostList(app);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, NULL, TRUE);
    // A download that brought no row (a failed receive reads as an empty
    // list) must not cost the saved selection at the next save.
    GiveBackSavedSelection(app, list);
}

void GiveBackSavedSelection(ConfigApp &app, HWND list)
{
    if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) != 0)
        return;
    app.givingBack = true;
    for (const std::string &name : SelectionNames(app.selectedHosts))
        AddHostRow(app, list, HostNameOf(name.c_str(), name.size()));
    app.givingBack = false;
    SetHostColumnWidths(app, list);
}

void OnHostRowChanged(ConfigApp &app, const NMLISTVIEW *change)
{
    if (app.givingBack || !(change->uChanged & LVIF_STATE))
        return;
    int oldState = (int)((change->uOldState & LVIS_STATEIMAGEMASK) >> 12);
    int newState = (int)((change->uNewState & LVIS_STATEIMAGEMASK) >> 12);
    if (IsCheckChange(oldState, newState))
        EnableApply(app);
}

void RunCheckCommand(ConfigApp &app, int id)
{
    HWND list = HostList(app);
    CheckCommand command = CommandFor(id);
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count; ++row) {
        int state = RowCheckState(list, row);
        bool selected = SendMessageA(list, LVM_GETITEMSTATE, (WPARAM)row, LVIS_SELECTED) & LVIS_SELECTED;
        int next = StateAfter(command, state, selected);
        if (next != state)
            SetRowCheckState(list, row, next);
    }
}

void CopySelectedHosts(ConfigApp &app)
{
    HWND list = HostList(app);
    std::vector<std::string> names;
    int row = -1;
    while ((row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED)) != -1)
        names.push_back(RowName(list, row, kSelectionPartMax));
    std::string text = CopiedHostNames(names);
    CopyTextToClipboard(app, text.c_str(), text.size() + 10);
}

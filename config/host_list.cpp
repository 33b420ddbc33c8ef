// The Home page's host list: its rows as GetHostList delivers them, the
// re-check of the saved selection, the check and copy commands, and the
// "Hosts" pop-up menu.
#include "pages.h"

#include "config_ids.h"
#include "host_selection.h"
#include "scoped.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

// Set while rows are put back from the saved selection: they are no change
// to save, so Apply stays as it was.
bool g_givingBack = false;

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
void AddHostRow(HWND list, const std::string &name)
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
    if (SelectionHasHost(g_app.selectedHosts, name))
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

HWND HostList() { return GetDlgItem(g_app.pages[kPageHome], IDC_HOST_LIST); }

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

void SetHostColumnWidths(HWND list)
{
    RECT client = {};
    GetClientRect(list, &client);
    int widths[2] = {ScaleX(42), client.right - ScaleX(42)};
    // Only a width that differs: each change redraws the whole list.
    for (int column = 0; column < 2; ++column)
        if (SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0) != widths[column])
            SendMessageA(list, LVM_SETCOLUMNWIDTH, column, widths[column]);
}

void OnHostListBegin()
{
    InterlockedExchange(&g_app.refreshing, 1);
    HWND list = HostList();
    // Drawn once at the end, not once per arriving row.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    SetHostColumnWidths(list);
}

void OnHostListHost(const char *name, size_t length)
{
    HWND list = HostList();
    AddHostRow(list, HostNameOf(name, length));
    SetHostColumnWidths(list);
}

void OnHostListEnd()
{
    InterlockedExchange(&g_app.refreshing, 0);
    HWND list = HostList();
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, NULL, TRUE);
    // A download that brought no row (a failed receive reads as an empty
    // list) must not cost the saved selection at the next save.
    GiveBackSavedSelection(list);
}

void GiveBackSavedSelection(HWND list)
{
    if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) != 0)
        return;
    g_givingBack = true;
    for (const std::string &name : SelectionNames(g_app.selectedHosts))
        AddHostRow(list, HostNameOf(name.c_str(), name.size()));
    g_givingBack = false;
    SetHostColumnWidths(list);
}

void OnHostRowChanged(const NMLISTVIEW *change)
{
    if (g_givingBack || !(change->uChanged & LVIF_STATE))
        return;
    int oldState = (int)((change->uOldState & LVIS_STATEIMAGEMASK) >> 12);
    int newState = (int)((change->uNewState & LVIS_STATEIMAGEMASK) >> 12);
    if (IsCheckChange(oldState, newState))
        EnableApply();
}

void RunCheckCommand(int id)
{
    HWND list = HostList();
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

void CopySelectedHosts()
{
    HWND list = HostList();
    std::vector<std::string> names;
    int row = -1;
    while ((row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED)) != -1)
        names.push_back(RowName(list, row, kSelectionPartMax));
    std::string text = CopiedHostNames(names);
    CopyTextToClipboard(text.c_str(), text.size() + 10);
}

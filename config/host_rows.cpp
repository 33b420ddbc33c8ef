// Reading and setting the host list's rows.
#include "host_rows.h"

#include "host_selection.h"

#include <commctrl.h>

namespace {

std::string RowName(HWND list, int row)
{
    char text[kSelectionPartMax + 1] = "";
    LVITEMA item = {};
    item.iSubItem = 1;
    item.pszText = text;
    item.cchTextMax = (int)sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
    // A name longer than the buffer is cut to it; not every list ends the
    // cut text, and what follows it is no part of the name.
    text[sizeof text - 1] = '\0';
    return text;
}

} // namespace

std::vector<HostRow> ReadHostRows(HWND list)
{
    std::vector<HostRow> rows;
    int count = list ? (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : 0;
    for (int row = 0; row < count; ++row) {
        bool selected = SendMessageA(list, LVM_GETITEMSTATE, (WPARAM)row, LVIS_SELECTED) & LVIS_SELECTED;
        rows.push_back({RowName(list, row), RowCheckState(list, row), selected});
    }
    return rows;
}

int RowCheckState(HWND list, int row)
{
    UINT state = (UINT)SendMessageA(list, LVM_GETITEMSTATE, (WPARAM)row, LVIS_STATEIMAGEMASK);
    return (int)((state & LVIS_STATEIMAGEMASK) >> 12);
}

void SetRowCheckState(HWND list, int row, int state)
{
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(state);
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
}

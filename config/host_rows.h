// The host list's rows as the control keeps them: the one place that reads
// a row's check box, name and selection, and sets its check box.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct HostRow {
    std::string name; // column 1, at most kSelectionPartMax characters
    int check;        // the check box's state image (host_selection.h: CheckState)
    bool selected;
};

// Every row of the list, in order.
std::vector<HostRow> ReadHostRows(HWND list);
// The control's check-box state image (0 none, 1 unchecked, 2 checked).
int RowCheckState(HWND list, int row);
void SetRowCheckState(HWND list, int row, int state);

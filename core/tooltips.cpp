// CreateToolTip: a hover tip for one control of a dialog, with a tooltip
// window of its own.
#include "tallib.h"

#include <commctrl.h>

int TALAPI CreateToolTip(int controlId, HWND dialog, HINSTANCE instance, const char *text)
{
    if (controlId == 0 || !dialog || !text)
        return 0;
    // Look the control up first, so that a missing one leaves no tooltip
    // window behind.
    HWND control = GetDlgItem(dialog, controlId);
    if (!control)
        return 0;
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES}; // tooltips_class32
    InitCommonControlsEx(&classes);
    // Owned by the dialog, the tip window lives as long as the dialog does.
    HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, NULL, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, dialog, NULL, instance, NULL);
    if (!tip)
        return 0;
    // The version-2 size is understood by every version of the common
    // controls, bound by a manifest or not.
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS; // the control itself is the tool
    tool.hwnd = dialog;
    tool.uId = (UINT_PTR)control;
    tool.lpszText = (LPSTR)text; // the caller keeps the text alive
    if (!SendMessageA(tip, TTM_ADDTOOLA, 0, (LPARAM)&tool)) {
        DestroyWindow(tip); // a tip that holds no tool is of no use
        return 0;
    }
    return 1;
}

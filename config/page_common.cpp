// What the pages share: their size and look, opening web pages after a
// question, context menus and columns.
#include "page_common.h"

#include "config_ids.h"
#include "config_state.h"
#include "error_text.h"
#include "contrast.h"
#include "page_dialog.h"
#include "scoped.h"
#include "user_link.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

HINSTANCE InstanceOf(HWND window) { return (HINSTANCE)GetWindowLongPtrA(window, GWLP_HINSTANCE); }

void TellFrame(HWND page, UINT message, WPARAM wParam) { SendMessageA(GetParent(page), message, wParam, 0); }

void AskAndOpen(HWND owner, const char *question, const char *target)
{
    if (MessageBoxA(owner, question, kCaption, MB_YESNO) != IDYES)
        return;
    // Opened as the signed-in user, never with this program's rights; a
    // browser or mail program that fails to start is said so, with the reason.
    std::string why;
    if (!OpenLinkAsUser(target, why)) {
        std::string text = std::string("The page could not be opened: ") + target + "\n\n" + why;
        MessageBoxA(owner, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
    }
}

bool ShowContextMenu(HWND page, HWND control, int list, int popup, LPARAM position)
{
    if (control != GetDlgItem(page, list))
        return false;
    ScopedMenu menu(LoadMenuA(InstanceOf(page), MAKEINTRESOURCEA(IDM_CONTEXT)));
    HMENU items = menu ? GetSubMenu(menu.get(), popup) : NULL;
    if (!items)
        return true;
    POINT at = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    if (position == (LPARAM)-1)
        GetCursorPos(&at);
    TrackPopupMenu(items, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, page, NULL);
    return true;
}

void FitPageToFrame(HWND page, const ScreenScale &scale)
{
    FitPage(page, ScaleX(scale, kPageWidth), ScaleY(scale, kPageHeight), scale.dpiY);
}

void AddColumn(HWND list, int index, const char *title, int width)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = (char *)title;
    column.cx = width;
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)index, (LPARAM)&column);
}

HBRUSH PageBrush() { return ContrastBrush((HBRUSH)GetStockObject(WHITE_BRUSH), COLOR_WINDOW); }

bool HandlePageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result)
{
    switch (message) {
    case kMsgPageScaleChanged:
        if (lParam)
            FitPageToFrame(page, *(const ScreenScale *)lParam);
        return false; // the page's own handler redoes what it sized by the scale
    case WM_CTLCOLORDLG:
        *result = (INT_PTR)PageBrush();
        return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        SetBkMode((HDC)wParam, OPAQUE);
        SetBkColor((HDC)wParam, ContrastColour(RGB(255, 255, 255), COLOR_WINDOW));
        if (HighContrastOn())
            SetTextColor((HDC)wParam, GetSysColor(COLOR_WINDOWTEXT));
        *result = (INT_PTR)PageBrush();
        return true;
    case WM_NCHITTEST: {
        // The mouse over a page takes the keyboard focus back to the main
        // window, unless the page holds it; never from another window.
        HWND focus = GetFocus();
        HWND frame = GetParent(page);
        if (GetActiveWindow() == frame && focus != frame && focus != page && (!focus || GetParent(focus) != page))
            SetFocus(frame);
        return false;
    }
    }
    return false;
}

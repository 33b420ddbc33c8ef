// What the pages share: their size and look, opening web pages after a
// question, context menus and columns.
#include "page_common.h"

#include "config_ids.h"
#include "config_state.h"
#include "error_text.h"
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
    RECT client = {};
    GetClientRect(page, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    double fx = ScaleX(scale, kPageWidth) / (double)client.right;
    double fy = ScaleY(scale, kPageHeight) / (double)client.bottom;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r = {};
        GetWindowRect(child, &r);
        MapWindowPoints(NULL, page, (POINT *)&r, 2);
        int left = (int)(r.left * fx), top = (int)(r.top * fy);
        MoveWindow(child, left, top, (int)(r.right * fx) - left, (int)(r.bottom * fy) - top, FALSE);
    }
    SetWindowPos(page, NULL, 0, 0, ScaleX(scale, kPageWidth), ScaleY(scale, kPageHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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

bool HandlePageMessage(HWND page, UINT message, WPARAM wParam, LPARAM, INT_PTR *result)
{
    switch (message) {
    case WM_CTLCOLORDLG:
        *result = (INT_PTR)GetStockObject(WHITE_BRUSH);
        return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        SetBkMode((HDC)wParam, OPAQUE);
        SetBkColor((HDC)wParam, RGB(255, 255, 255));
        *result = (INT_PTR)GetStockObject(WHITE_BRUSH);
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

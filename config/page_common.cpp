// Small helpers the pages share: centring, worker threads, opening web
// pages after a question, and a list row's check box.
#include "page_common.h"

#include "config_ids.h"
#include "error_text.h"
#include "scoped.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

bool StartWorker(LPTHREAD_START_ROUTINE work, void *parameter)
{
    ScopedHandle thread(CreateThread(NULL, 0, work, parameter, 0, NULL));
    return (bool)thread;
}

void AskAndOpen(HWND owner, const char *question, const char *target)
{
    if (MessageBoxA(owner, question, kCaption, MB_YESNO) != IDYES)
        return;
    // A browser or mail program that fails to start is said so, with the reason.
    if ((INT_PTR)ShellExecuteA(owner, "open", target, NULL, NULL, SW_SHOWNORMAL) <= 32) {
        std::string text = std::string("The page could not be opened: ") + target + "\n\n" + DescribeError(GetLastError());
        MessageBoxA(owner, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
    }
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

void ShowContextMenu(HWND page, int popup, LPARAM position)
{
    ScopedMenu menu(LoadMenuA(AppOf(page).instance, MAKEINTRESOURCEA(IDM_CONTEXT)));
    HMENU items = menu ? GetSubMenu(menu.get(), popup) : NULL;
    if (!items)
        return;
    POINT at = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    if (position == (LPARAM)-1)
        GetCursorPos(&at);
    TrackPopupMenu(items, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, page, NULL);
}

void FitPageToFrame(HWND page)
{
    const ConfigApp &app = AppOf(page);
    RECT client = {};
    GetClientRect(page, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    double fx = ScaleX(app, kPageWidth) / (double)client.right;
    double fy = ScaleY(app, kPageHeight) / (double)client.bottom;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r = {};
        GetWindowRect(child, &r);
        MapWindowPoints(NULL, page, (POINT *)&r, 2);
        int left = (int)(r.left * fx), top = (int)(r.top * fy);
        MoveWindow(child, left, top, (int)(r.right * fx) - left, (int)(r.bottom * fy) - top, FALSE);
    }
    SetWindowPos(page, NULL, 0, 0, ScaleX(app, kPageWidth), ScaleY(app, kPageHeight),
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

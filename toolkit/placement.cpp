// Centring a window, kept on its screen.
#include "placement.h"

void CentreWindow(HWND window, HWND over)
{
    RECT area = {};
    if (over && GetClientRect(over, &area))
        MapWindowPoints(over, NULL, (POINT *)&area, 2);
    else if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0))
        SetRect(&area, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    RECT own = {};
    GetWindowRect(window, &own);
    int width = own.right - own.left, height = own.bottom - own.top;
    int x = (area.left + area.right) / 2 - width / 2;
    int y = (area.top + area.bottom) / 2 - height / 2;

    // Never off the screen the window lands on.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    POINT centre = {x + width / 2, y + height / 2};
    if (GetMonitorInfoA(MonitorFromPoint(centre, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT &work = monitor.rcWork;
        if (x + width > work.right)
            x = work.right - width;
        if (y + height > work.bottom)
            y = work.bottom - height;
        if (x < work.left)
            x = work.left;
        if (y < work.top)
            y = work.top;
    }
    SetWindowPos(window, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

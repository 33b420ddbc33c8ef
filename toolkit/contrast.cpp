// High-contrast colours for the product's own painting.
#include "contrast.h"

bool HighContrastOn()
{
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

COLORREF ContrastColour(COLORREF own, int systemIndex)
{
    return HighContrastOn() ? GetSysColor(systemIndex) : own;
}

HBRUSH ContrastBrush(HBRUSH own, int systemIndex)
{
    return HighContrastOn() ? GetSysColorBrush(systemIndex) : own;
}

namespace {

BOOL CALLBACK TellChild(HWND child, LPARAM message)
{
    const MSG &m = *(const MSG *)message;
    SendMessageA(child, m.message, m.wParam, m.lParam);
    return TRUE;
}

} // namespace

void RepaintForColours(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SYSCOLORCHANGE) {
        // All descendants: the pages' list views keep colours of their own.
        MSG m = {};
        m.message = message;
        m.wParam = wParam;
        m.lParam = lParam;
        EnumChildWindows(window, TellChild, (LPARAM)&m);
    }
    RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

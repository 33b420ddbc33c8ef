// The product's own painting under a high-contrast theme: where the user
// chose one, what the programs paint in colours of their own (white pages,
// the panel's strip and texts, the links) takes the theme's colours
// instead; with none, nothing changes.
#pragma once

#include <windows.h>

// True while a high-contrast theme is on (asked each time: the user may
// switch it at any moment, and WM_SYSCOLORCHANGE follows).
bool HighContrastOn();
// own, or the theme's colour systemIndex (COLOR_WINDOW, ...) while a
// high-contrast theme is on.
COLORREF ContrastColour(COLORREF own, int systemIndex);
// The same for a brush; neither is the caller's to delete.
HBRUSH ContrastBrush(HBRUSH own, int systemIndex);
// The system's colours or theme changed (WM_SYSCOLORCHANGE, or a
// WM_SETTINGCHANGE): window's children hear it, which only top-level
// windows are sent, and everything is painted again.
void RepaintForColours(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

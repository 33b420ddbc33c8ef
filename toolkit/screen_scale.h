// Layout by the screen's dots per inch: figures are given at 96 dpi and
// scaled to the screen, truncated, the same way in every window program.
// A window that Windows tells of a new scale (WM_DPICHANGED: dragged to a
// monitor of another scale, or the monitor's scale changed) lays itself
// out again from the same figures at that scale.
#pragma once

#include <windows.h>

// Sent to a window shown at a new scale (Windows 8.1 and later); the
// headers of the systems the product targets predate it.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

struct ScreenScale {
    int dpiX = 96;
    int dpiY = 96;
};

// The screen's dots per inch; 96 where they cannot be read.
ScreenScale ReadScreenScale();
// The scale a window is shown at: its monitor's where the system scales
// each monitor on its own (GetDpiForWindow), else the screen's.
ScreenScale WindowScale(HWND window);
// A system metric (SM_CXSMICON, say) at the scale window is shown at,
// also for a program that does not scale itself (window may be another
// program's); the metric as the program sees it where the system has no
// scale of its own for each monitor, or without a window.
int MetricForWindow(int index, HWND window);
// The new scale of a WM_DPICHANGED, from its wParam.
ScreenScale ScaleOfDpiChange(WPARAM wParam);
// WM_DPICHANGED: the window takes the rectangle the system suggests.
void TakeSuggestedRect(HWND window, LPARAM lParam);

// After window was made at scale `made`: where the monitor it stands on
// has another scale (its scale changed since sign-in, say), the window is
// told so as if it had been moved there (WM_DPICHANGED, its size scaled).
void MatchMonitorScale(HWND window, const ScreenScale &made);

// A figure of 96 dpi at `dpi` dots per inch.
inline int ScaleBy(int value, int dpi) { return value * dpi / 96; }
inline int ScaleX(const ScreenScale &scale, int value) { return ScaleBy(value, scale.dpiX); }
inline int ScaleY(const ScreenScale &scale, int value) { return ScaleBy(value, scale.dpiY); }
// Pixels across on the screen as a figure of 96 dpi, rounded.
inline int UnscaleX(const ScreenScale &scale, int pixels) { return MulDiv(pixels, 96, scale.dpiX); }
inline bool operator==(const ScreenScale &a, const ScreenScale &b) { return a.dpiX == b.dpiX && a.dpiY == b.dpiY; }

// A copy of font, made for dpiY dots per inch instead of fromDpiY, as the
// system makes its own fonts at that scale: its pixel height scaled, or
// with keepPoints (a dialog's font, asked for in points) the same point
// size. NULL when the font cannot be read. The caller deletes it.
HFONT CreateFontAtScale(HFONT font, int fromDpiY, int dpiY, bool keepPoints);

// The screen's dots per inch, read by each window program at start, and
// the scale of a window on a monitor of its own scale.
#include "screen_scale.h"

#include "scoped.h"

namespace {

// The scale of each monitor exists from Windows 10 1607 on (older systems
// scale every monitor alike, and their windows keep the screen's scale):
// its functions are looked up, never linked.
typedef UINT(WINAPI *DpiForWindowFn)(HWND);
typedef int(WINAPI *MetricsForDpiFn)(int, UINT);
typedef HANDLE(WINAPI *ThreadAwarenessFn)(HANDLE);

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, by its value.
HANDLE const kPerMonitorAware = (HANDLE)(INT_PTR)-4;

FARPROC UserFunction(const char *name)
{
    HMODULE user = GetModuleHandleA("user32.dll");
    return user ? GetProcAddress(user, name) : NULL;
}

DpiForWindowFn DpiForWindow() { return (DpiForWindowFn)(void *)UserFunction("GetDpiForWindow"); }

} // namespace

ScreenScale ReadScreenScale()
{
    ScreenScale scale;
    ScopedGetDC screen(NULL);
    if (screen.get()) {
        scale.dpiX = GetDeviceCaps(screen.get(), LOGPIXELSX);
        scale.dpiY = GetDeviceCaps(screen.get(), LOGPIXELSY);
    }
    return scale;
}

ScreenScale WindowScale(HWND window)
{
    static const DpiForWindowFn dpiForWindow = DpiForWindow();
    UINT dpi = dpiForWindow && window ? dpiForWindow(window) : 0;
    if (dpi == 0)
        return ReadScreenScale();
    ScreenScale scale;
    scale.dpiX = scale.dpiY = (int)dpi;
    return scale;
}

int MetricForWindow(int index, HWND window)
{
    static const DpiForWindowFn dpiForWindow = DpiForWindow();
    static const MetricsForDpiFn metricsForDpi = (MetricsForDpiFn)(void *)UserFunction("GetSystemMetricsForDpi");
    static const ThreadAwarenessFn awareness = (ThreadAwarenessFn)(void *)UserFunction("SetThreadDpiAwarenessContext");
    if (!window || !dpiForWindow || !metricsForDpi || !awareness)
        return GetSystemMetrics(index);
    // Unaware, this thread would be told 96 for every window.
    HANDLE before = awareness(kPerMonitorAware);
    UINT dpi = dpiForWindow(window);
    if (before)
        awareness(before);
    return dpi ? metricsForDpi(index, dpi) : GetSystemMetrics(index);
}

ScreenScale ScaleOfDpiChange(WPARAM wParam)
{
    ScreenScale scale;
    // A nonsense figure (a message from anyone) leaves the scale readable.
    if (LOWORD(wParam) >= 48 && HIWORD(wParam) >= 48 && LOWORD(wParam) <= 960 && HIWORD(wParam) <= 960) {
        scale.dpiX = LOWORD(wParam);
        scale.dpiY = HIWORD(wParam);
    }
    return scale;
}

void TakeSuggestedRect(HWND window, LPARAM lParam)
{
    const RECT *r = (const RECT *)lParam;
    if (r)
        SetWindowPos(window, NULL, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void MatchMonitorScale(HWND window, const ScreenScale &made)
{
    ScreenScale shown = WindowScale(window);
    if (shown == made || made.dpiX <= 0 || made.dpiY <= 0)
        return;
    RECT r = {};
    GetWindowRect(window, &r);
    r.right = r.left + MulDiv(r.right - r.left, shown.dpiX, made.dpiX);
    r.bottom = r.top + MulDiv(r.bottom - r.top, shown.dpiY, made.dpiY);
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(shown.dpiX, shown.dpiY), (LPARAM)&r);
}

HFONT CreateFontAtScale(HFONT font, int fromDpiY, int dpiY, bool keepPoints)
{
    LOGFONTA lf;
    if (!font || fromDpiY <= 0 || !GetObjectA(font, sizeof lf, &lf))
        return NULL;
    if (!keepPoints) {
        lf.lfHeight = MulDiv(lf.lfHeight, dpiY, fromDpiY);
    } else if (lf.lfHeight != 0) {
        // Heights are pixels of the scale they were made at; the point
        // size is what the font was asked for.
        int points = MulDiv(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight, 72, fromDpiY);
        int pixels = MulDiv(points, dpiY, 72);
        lf.lfHeight = lf.lfHeight < 0 ? -pixels : pixels;
    }
    lf.lfWidth = MulDiv(lf.lfWidth, dpiY, fromDpiY);
    return CreateFontIndirectA(&lf);
}

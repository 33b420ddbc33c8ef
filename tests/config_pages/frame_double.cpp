// The frame's side of the page interface, for the page tests.
#include "frame_double.h"

#include "signals.h"
#include "window_state.h"

#include <string.h>

ConfigApp g_app;
FrameRecord g_frame;

namespace {

const char kTestMainClass[] = "TALVEX_TEST_CONFIG_PAGES";

LRESULT CALLBACK TestMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowState<ConfigApp>(window, message, lParam);
    switch (message) {
    case kMsgHostListBegin:
        OnHostListBegin(g_app);
        return 0;
    case kMsgHostListHost:
        OnHostListHost(g_app, (const char *)lParam, (size_t)wParam);
        return 0;
    case kMsgHostListEnd:
        OnHostListEnd(g_app);
        return 0;
    case kMsgShowAddress:
        OnAddressFound(g_app, lParam);
        return 0;
    case kMsgHostRefreshDone:
        OnHostRefreshDone(g_app, lParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void ShowPage(ConfigApp &, int index) { g_frame.shownPage = index; }
void ApplyStatus(ConfigApp &, int) {}
void EnableApply(ConfigApp &) { ++g_frame.applyEnabled; }
// White pages, as the frame draws them.
bool HandlePageMessage(HWND, UINT message, WPARAM wParam, LPARAM, INT_PTR *result)
{
    switch (message) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        SetBkColor((HDC)wParam, RGB(255, 255, 255));
        *result = (INT_PTR)GetStockObject(WHITE_BRUSH);
        return true;
    }
    return false;
}
int LoadImageResource(Image &, HINSTANCE, int) { return 0; }
void PrepareImage(Image &, HDC) {}
void DrawImage(const Image &, HDC, int, int, int, int) {}
void FreeImage(Image &) {}
void AttachLink(HWND) {}
void AttachMenuButton(HWND, HFONT, Image *) {}

// As the frame does it: the main window owns the clipboard.
void CopyTextToClipboard(ConfigApp &app, const char *text, size_t size)
{
    if (!OpenClipboard(app.window))
        return;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size + 1);
    if (block) {
        char *copy = (char *)GlobalLock(block);
        strncpy(copy, text, size);
        copy[size] = '\0';
        GlobalUnlock(block);
        if (!SetClipboardData(CF_TEXT, block))
            GlobalFree(block);
    }
    CloseClipboard();
}

HWND CreateTestMainWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestMainProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = kTestMainClass;
    RegisterClassA(&wc);
    g_app.instance = wc.hInstance;
    g_app.window = CreateWindowExA(0, kTestMainClass, "Talvex Updater Configuration",
                                   WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 40, 40,
                                   ScaleX(g_app, 704), ScaleY(g_app, 480), NULL, NULL, wc.hInstance, &g_app);
    ShowWindow(g_app.window, SW_SHOW);
    return g_app.window;
}

void CreateTestPages()
{
    const struct {
        int resource;
        DLGPROC procedure;
    } pages[kPageCount] = {{106, HomePageProc}, {107, AdvancedPageProc}, {108, LogsPageProc}, {109, HelpPageProc}};
    for (int i = 0; i < kPageCount; ++i) {
        HWND page = CreateDialogParamA(g_app.instance, MAKEINTRESOURCEA(pages[i].resource), g_app.window,
                                       pages[i].procedure, 0);
        MoveWindow(page, 204, 10, ScaleX(g_app, 512), ScaleY(g_app, 395), FALSE);
        g_app.pages[i] = page;
    }
    ShowWindow(g_app.pages[kPageHome], SW_SHOW);
}

void DestroyTestWindows()
{
    for (HWND &page : g_app.pages) {
        if (page)
            DestroyWindow(page);
        page = NULL;
    }
    if (g_app.window)
        DestroyWindow(g_app.window);
    g_app.window = NULL;
}

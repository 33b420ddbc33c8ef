// The frame's side of the page interface, for the page tests.
#include "frame_double.h"

#include "home_page.h"
#include "tal_link.h"
#include "tal_menu.h"
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
    // A download's rows, as GetHostList sends them.
    case kMsgHostListBegin:
        BeginHostRows(Home());
        return 0;
    case kMsgHostListHost:
        AddHostRow(Home(), (const char *)lParam, (size_t)wParam);
        return 0;
    case kMsgHostListEnd:
        EndHostRows(Home());
        return 0;
    // What the pages tell their frame.
    case kMsgPageChanged:
        ++g_frame.applyEnabled;
        return 0;
    case kMsgShowPage:
        g_frame.shownPage = (int)wParam;
        return 0;
    case kMsgShowStatus:
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void AttachLink(HWND) {}
void AttachMenuButton(HWND, HFONT, Image *, const ScreenScale &, HWND) {}

HomeState &Home() { return *HomePageState(g_app.pages[kPageHome]); }

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
    g_app.pages[kPageHome] = CreateHomePage(g_app.window, g_app.scale, g_app);
    g_app.pages[kPageAdvanced] = CreateAdvancedPage(g_app.window, g_app.scale, g_app);
    g_app.pages[kPageLogs] = CreateLogsPage(g_app.window, g_app.scale, g_app);
    g_app.pages[kPageHelp] = CreateHelpPage(g_app.window, g_app.scale, g_app.pictures[kPicHelp]);
    for (HWND page : g_app.pages)
        MoveWindow(page, 204, 10, ScaleX(g_app, 512), ScaleY(g_app, 395), FALSE);
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

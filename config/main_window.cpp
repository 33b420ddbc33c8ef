// The main window: its layout (scaled by the screen's dots per inch), its
// painting, the OK/Cancel/Apply and navigation commands, and the messages
// other programs and the utility's own threads send it.
#include "config_app.h"
#include "config_ids.h"
#include "frame.h"

#include "scoped.h"
#include "signals.h"
#include "tallib.h"

#include <string.h>

#include <initializer_list>

namespace {

const char kLatestVersion[] = "You have the latest version.";
const char kUpgradeAvailable[] = "An upgrade is available!";
const char kDetecting[] = "Detecting...";
const COLORREF kSeparatorColour = RGB(200, 200, 200);

// The panel's layout at 96 dots per inch, in pixels. Every figure is scaled
// with the screen (ScaleX), so that at 144 dpi the panel's texts fit their
// boxes and the pages meet the panel as they do at 96 dpi; the pictures
// keep their own size and stay centred in their scaled places.
const int kPanelWidth = 200;  // the blue strip; the white page area starts here
const int kPageX = 204;
const int kBandX = 194;       // the grey band beneath OK, Cancel and Apply
const int kNavX = 5, kNavWidth = 177;
const int kLogoX = 45, kLogoWidth = 100;
const int kStatusX = 49, kStatusY = 310, kStatusSize = 90; // the status picture
const int kHotspotX = 45, kHotspotWidth = 100;             // its click target
const int kLabelX = 4, kLabelWidth = 180;
const int kHintX = 14, kHintWidth = 160;

// Where a picture of `width` pixels stands so that it keeps its place in
// a box that grows with the screen.
int CentredX(int x, int width) { return ScaleX(x) + (ScaleX(width) - width) / 2; }

HWND CreateChild(const char *cls, const char *text, DWORD style, int x, int y, int width, int height, int id)
{
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, g_app.window,
                           (HMENU)(INT_PTR)id, g_app.instance, NULL);
}

void CreatePages()
{
    static const struct {
        int templateId;
        DLGPROC proc;
    } pages[kPageCount] = {
        {IDD_HOME, HomePageProc},
        {IDD_ADVANCED, AdvancedPageProc},
        {IDD_LOGS, LogsPageProc},
        {IDD_HELP, HelpPageProc},
    };
    for (int i = 0; i < kPageCount; ++i) {
        HWND page = CreateDialogParamA(g_app.instance, MAKEINTRESOURCEA(pages[i].templateId), g_app.window,
                                       pages[i].proc, 0);
        g_app.pages[i] = page;
        if (!page)
            continue;
        SetWindowPos(page, NULL, ScaleX(kPageX), 10, ScaleX(512), ScaleY(395), SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(page, i == kPageHome ? SW_SHOW : SW_HIDE);
    }
}

HFONT CreatePanelFont(int height)
{
    return CreateFontA(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Microsoft Sans Serif");
}

void CreateButtons()
{
    // The band stays beneath the buttons that stand on it.
    HWND band = CreateChild("STATIC", "", WS_CLIPSIBLINGS, ScaleX(kBandX), ScaleY(405), ScaleX(600), ScaleY(60),
                            IDC_BOTTOM_BAND);
    SetWindowPos(band, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HFONT gui = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    static const struct {
        int id;
        const char *text;
        int x;
    } buttons[] = {{IDC_OK, "OK", 382}, {IDC_CANCEL, "Cancel", 488}, {IDC_APPLY, "Apply", 594}};
    for (const auto &b : buttons) {
        HWND button = CreateChild("BUTTON", b.text, WS_TABSTOP | BS_PUSHBUTTON, ScaleX(b.x), ScaleY(414), ScaleX(96),
                                  ScaleY(26), b.id);
        SendMessageA(button, WM_SETFONT, (WPARAM)gui, FALSE);
    }
    EnableWindow(GetDlgItem(g_app.window, IDC_APPLY), FALSE);
}

void CreatePanel()
{
    static const char *const labels[] = {"Home", "Advanced", "Logs", "Help"};
    for (int i = 0; i < 4; ++i) {
        HWND nav = CreateChild("STATIC", labels[i], WS_TABSTOP, ScaleX(kNavX), ScaleY(166) + i * ScaleY(30),
                               ScaleX(kNavWidth), ScaleY(30), IDC_NAV_HOME + i);
        TalMenu attach(nav, g_app.panelFont, &g_app.pictures[kPicStrip]);
    }
    // Only the hand cursor and the click: the status picture shows through.
    HWND hotspot = CreateChild("STATIC", "", 0, ScaleX(kHotspotX), ScaleY(kStatusY), ScaleX(kHotspotWidth),
                               ScaleY(kStatusSize), IDC_STATUS_HOTSPOT);
    TalMenu attach(hotspot, NULL, NULL);

    // One line, ten pixels wider on each side than the 160 of old with the
    // same centre: "Status: Welcome!" wrapped out of sight in wider fonts.
    HWND label = CreateChild("STATIC", "Status: Loading", SS_CENTER | SS_CENTERIMAGE, ScaleX(kLabelX), ScaleY(396),
                             ScaleX(kLabelWidth), ScaleY(24), IDC_STATUS_LABEL);
    SendMessageA(label, WM_SETFONT, (WPARAM)g_app.panelFont, FALSE);
    SetStatusLabel();
    HWND hint = CreateChild("STATIC", "(Click for details)", SS_CENTER, ScaleX(kHintX), ScaleY(416),
                            ScaleX(kHintWidth), ScaleY(24), IDC_STATUS_HINT);
    SendMessageA(hint, WM_SETFONT, (WPARAM)g_app.hintFont, FALSE);
}

void OnCreate(HWND window)
{
    g_app.window = window;
    g_app.panelFont = CreatePanelFont(ScaleY(19));
    g_app.hintFont = CreatePanelFont(ScaleY(14));
    CreatePages();
    CreateButtons();
    CreatePanel();
    SetDlgItemTextA(g_app.pages[kPageHome], IDC_HOME_UPDATER, kDetecting);
}

void OnDestroy()
{
    DeleteObject(g_app.panelFont);
    DeleteObject(g_app.hintFont);
    g_app.panelFont = g_app.hintFont = NULL;
    PostQuitMessage(0);
}

void OnPaint(HWND window)
{
    ScopedPaint paint(window);
    HDC dc = paint.get();
    const RECT &area = paint.info().rcPaint;
    for (Image &image : g_app.pictures)
        PrepareImage(image, dc);
    int panel = ScaleX(kPanelWidth);
    if (area.right > panel) {
        RECT white = area;
        white.left = white.left > panel ? white.left : panel;
        FillRect(dc, &white, (HBRUSH)GetStockObject(WHITE_BRUSH));
    }
    if (area.left < panel) {
        for (int y = area.top; y < area.bottom; ++y)
            DrawImageColumns(g_app.pictures[kPicStrip], dc, 0, y, panel, 1, 0, kPanelWidth);
    }
    // The pictures keep their size, centred where they stand at 96 dpi.
    DrawImage(g_app.pictures[kPicLogo], dc, CentredX(kLogoX, kLogoWidth), ScaleY(25), kLogoWidth, 110);
    DrawImage(g_app.pictures[StatusPicture(g_app.status)], dc, CentredX(kStatusX, kStatusSize), ScaleY(kStatusY),
              kStatusSize, kStatusSize);

    ScopedGdi pen(CreatePen(PS_SOLID, 1, kSeparatorColour));
    ScopedSelect select(dc, pen.get());
    for (int y : {ScaleY(155), ScaleY(300)}) {
        MoveToEx(dc, ScaleX(10), y, NULL);
        LineTo(dc, ScaleX(180), y);
    }
    if (g_app.pages[kPageHome])
        UpdateWindow(g_app.pages[kPageHome]);
}

LRESULT OnCtlColorStatic(HWND window, HDC dc, HWND control, LPARAM lParam)
{
    int id = GetDlgCtrlID(control);
    if (id == IDC_BOTTOM_BAND)
        return DefWindowProcA(window, WM_CTLCOLORSTATIC, (WPARAM)dc, lParam);
    if (id == IDC_STATUS_LABEL || id == IDC_STATUS_HINT)
        SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    return (LRESULT)GetStockObject(NULL_BRUSH);
}

void OnApply()
{
    HWND apply = GetDlgItem(g_app.window, IDC_APPLY);
    // A disabled button cannot keep the keyboard focus.
    if (GetFocus() == apply)
        SetFocus(GetDlgItem(g_app.window, IDC_OK));
    EnableWindow(apply, FALSE);
    SaveSettings();
    TellServerInBackground((int)kCmdReloadAndPass);
}

void OnOk(HWND window)
{
    SaveSettings();
    // Saved settings reach the updater now, not at its next reload.
    TellServerInBackground((int)kCmdReloadAndPass);
    DestroyWindow(window);
}

// WM_COMMAND: only notification code 0 is a command of the window.
bool OnCommand(HWND window, int id, int code)
{
    if (code != 0)
        return false;
    switch (id) {
    case IDC_OK:
        OnOk(window);
        return true;
    case IDC_CANCEL:
        DestroyWindow(window);
        return true;
    case IDC_APPLY:
        OnApply();
        return true;
    case IDC_STATUS_HOTSPOT:
        OnStatusClick();
        return true;
    case IDC_NAV_HOME:
    case IDC_NAV_ADVANCED:
    case IDC_NAV_LOGS:
    case IDC_NAV_HELP:
        ShowPage(id - IDC_NAV_HOME);
        return true;
    }
    return false;
}

void SetUpgradeLink(bool available)
{
    HWND link = GetDlgItem(g_app.pages[kPageAdvanced], IDC_UPGRADE_LINK);
    EnableWindow(link, available ? TRUE : FALSE);
    SetWindowTextA(link, available ? kUpgradeAvailable : kLatestVersion);
}

// WM_USER from other programs and the pipe listener; every code answers 1.
void OnCommandCode(WPARAM code, LPARAM lParam)
{
    switch (code) {
    case kCmdReloadSettings:
        LoadSettings();
        break;
    case kCmdSettingsChanged:
        ApplyStatus((int)lParam);
        break;
    case kCmdRefreshStatus:
        OnStatusChanged();
        break;
    case kCmdRefreshLog:
        ReloadLog(GetDlgItem(g_app.pages[kPageLogs], IDC_LOG_LIST));
        break;
    case kCmdLatestVersion:
        SetUpgradeLink(false);
        break;
    case kCmdUpgradeAvailable:
        SetUpgradeLink(true);
        break;
    }
}

DWORD WINAPI TellServerThread(void *code)
{
    TellServer((int)(INT_PTR)code);
    return 0;
}

} // namespace

void TellServerInBackground(int code)
{
    HANDLE thread = CreateThread(NULL, 0, TellServerThread, (void *)(INT_PTR)code, 0, NULL);
    if (!thread) {
        TellServer(code); // no thread to be had: better late than never
        return;
    }
    // Only the newest is awaited at exit; older ones have long finished.
    if (g_frame.tellThread)
        CloseHandle(g_frame.tellThread);
    g_frame.tellThread = thread;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_ERASEBKGND:
        return 1; // painting covers the whole area
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(window, (HDC)wParam, (HWND)lParam, lParam);
    case WM_COMMAND:
        if (OnCommand(window, LOWORD(wParam), HIWORD(wParam)))
            return 0;
        break;
    case WM_USER:
        OnCommandCode(wParam, lParam);
        return 1;
    case kMsgShowAddress:
        OnAddressFound(lParam);
        return 0;
    case kMsgHostRefreshDone:
        OnHostRefreshDone(lParam);
        return 0;
    case kMsgHostListBegin:
        OnHostListBegin();
        return 0;
    case kMsgHostListEnd:
        OnHostListEnd();
        return 0;
    case kMsgHostListHost:
        OnHostListHost((const char *)lParam, (size_t)wParam);
        return 0;
    case kMsgUpdaterActivity:
        OnUpdaterActivity(wParam == 1 ? 1 : 0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void ShowPage(int index)
{
    if (index < 0 || index >= kPageCount)
        return;
    for (int i = 0; i < kPageCount; ++i) {
        if (i != index && g_app.pages[i])
            ShowWindow(g_app.pages[i], SW_HIDE);
    }
    HWND page = g_app.pages[index];
    if (!page)
        return;
    ShowWindow(page, SW_SHOW);
    // The window paints the white beneath the page first, then the page and
    // its controls: what the page's group boxes enclose is not the page's
    // to erase, and the page shown before must not show through there.
    RECT area;
    GetWindowRect(page, &area);
    MapWindowPoints(NULL, g_app.window, (POINT *)&area, 2);
    RedrawWindow(g_app.window, &area, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CopyTextToClipboard(const char *text, size_t size)
{
    if (!text || !OpenClipboard(g_app.window))
        return;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size + 1);
    char *target = block ? (char *)GlobalLock(block) : NULL;
    if (target) {
        size_t n = strnlen(text, size);
        memcpy(target, text, n);
        target[n] = '\0';
        GlobalUnlock(block);
        if (!SetClipboardData(CF_TEXT, block))
            GlobalFree(block); // the clipboard owns it only once it took it
    } else if (block) {
        GlobalFree(block);
    }
    CloseClipboard();
}

void EnableApply() { EnableWindow(GetDlgItem(g_app.window, IDC_APPLY), TRUE); }

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
        if (GetActiveWindow() == g_app.window && focus != g_app.window && focus != page &&
            (!focus || GetParent(focus) != page))
            SetFocus(g_app.window);
        return false;
    }
    }
    return false;
}

// The main window: its layout (scaled by the screen's dots per inch), its
// painting, the OK/Cancel/Apply and navigation commands, the messages other
// programs and the pipe listener send it, and what its pages tell it. The
// pages set their own controls: the window says what to show through each
// page's functions and takes the pages' choices from them.
#include "main_window.h"

#include "config_ids.h"
#include "config_messages.h"
#include "advanced_page.h"
#include "help_page.h"
#include "home_page.h"
#include "logs_page.h"
#include "page_common.h"
#include "settings.h"
#include "status_panel.h"
#include "tal_menu.h"
#include "window_state.h"

#include "contrast.h"
#include "error_text.h"
#include "scoped.h"
#include "signals.h"
#include "tallib.h"
#include "worker.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kTellThreadFailed[] = "Error creating thread to tell the Updater of a change.";
const char kSettingsNotSaved[] = "The settings could not be saved. They are kept and saved with your next OK or Apply.";
const COLORREF kSeparatorColour = RGB(200, 200, 200);

// The window's layout at 96 dots per inch, in pixels. Every figure is
// scaled with the screen (ScaleX, ScaleY), so that at 144 dpi the panel's
// texts fit their boxes and the pages meet the panel as they do at 96 dpi;
// the pictures keep their own size and stay centred in their scaled places.
const int kPanelWidth = 200;  // the blue strip; the white page area starts here
const int kPageX = 204;
// In pixels at every scale, unlike the other figures.
const int kPageTopPixels = 10;
const int kBandX = 194, kBandY = 405, kBandWidth = 600, kBandHeight = 60; // grey, beneath OK, Cancel and Apply
const int kButtonY = 414, kButtonWidth = 96, kButtonHeight = 26;
const int kOkX = 382, kCancelX = 488, kApplyX = 594;
const int kNavX = 5, kNavY = 166, kNavWidth = 177, kNavHeight = 30; // one below the other
const int kLogoX = 45, kLogoY = 25, kLogoWidth = 100, kLogoHeight = 110;
const int kStatusX = 49, kStatusY = 310, kStatusSize = 90; // the status picture
const int kHotspotX = 45, kHotspotWidth = 100;             // its click target
const int kLabelX = 4, kLabelY = 396, kLabelWidth = 180, kLabelHeight = 24;
const int kHintX = 14, kHintY = 416, kHintWidth = 160, kHintHeight = 24;
const int kRuleLeft = 10, kRuleRight = 180, kRuleTopY = 155, kRuleBottomY = 300; // grey rules around the status
const int kPanelFontHeight = 19, kHintFontHeight = 14;

// Where a picture of `width` pixels stands so that it keeps its place in
// a box that grows with the screen.
int CentredX(const ConfigApp &app, int x, int width) { return ScaleX(app, x) + (ScaleX(app, width) - width) / 2; }

// Where each of the frame's own controls stands at the window's scale.
RECT FramePlace(const ConfigApp &app, int id)
{
    auto x = [&](int v) { return ScaleX(app, v); };
    auto y = [&](int v) { return ScaleY(app, v); };
    auto box = [](int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; };
    switch (id) {
    case IDC_BOTTOM_BAND:
        return box(x(kBandX), y(kBandY), x(kBandWidth), y(kBandHeight));
    case IDC_OK:
        return box(x(kOkX), y(kButtonY), x(kButtonWidth), y(kButtonHeight));
    case IDC_CANCEL:
        return box(x(kCancelX), y(kButtonY), x(kButtonWidth), y(kButtonHeight));
    case IDC_APPLY:
        return box(x(kApplyX), y(kButtonY), x(kButtonWidth), y(kButtonHeight));
    case IDC_NAV_HOME:
    case IDC_NAV_ADVANCED:
    case IDC_NAV_LOGS:
    case IDC_NAV_HELP:
        // Each product truncated before the sum.
        return box(x(kNavX), y(kNavY) + (id - IDC_NAV_HOME) * y(kNavHeight), x(kNavWidth), y(kNavHeight));
    case IDC_STATUS_HOTSPOT:
        return box(x(kHotspotX), y(kStatusY), x(kHotspotWidth), y(kStatusSize));
    case IDC_STATUS_LABEL:
        return box(x(kLabelX), y(kLabelY), x(kLabelWidth), y(kLabelHeight));
    case IDC_STATUS_HINT:
        return box(x(kHintX), y(kHintY), x(kHintWidth), y(kHintHeight));
    }
    return RECT{};
}

const int kFrameControls[] = {IDC_BOTTOM_BAND, IDC_OK,       IDC_CANCEL,         IDC_APPLY,
                              IDC_NAV_HOME,    IDC_NAV_ADVANCED, IDC_NAV_LOGS,   IDC_NAV_HELP,
                              IDC_STATUS_HOTSPOT, IDC_STATUS_LABEL, IDC_STATUS_HINT};

HWND CreateChild(const ConfigApp &app, const char *cls, const char *text, DWORD style, int id)
{
    RECT r = FramePlace(app, id);
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, app.window, (HMENU)(INT_PTR)id, app.instance, NULL);
}

// The page area at the window's scale.
void PlacePage(const ConfigApp &app, HWND page)
{
    SetWindowPos(page, NULL, ScaleX(app, kPageX), kPageTopPixels, ScaleX(app, kPageWidth), ScaleY(app, kPageHeight),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Each page gets what it shows: the settings, or the help picture.
void CreatePages(ConfigApp &app)
{
    app.pages[kPageHome] = CreateHomePage(app.window, app.scale, app);
    app.pages[kPageAdvanced] = CreateAdvancedPage(app.window, app.scale, app);
    app.pages[kPageLogs] = CreateLogsPage(app.window, app.scale, app);
    app.pages[kPageHelp] = CreateHelpPage(app.window, app.scale, app.pictures[kPicHelp]);
    for (int i = 0; i < kPageCount; ++i) {
        if (!app.pages[i])
            continue;
        PlacePage(app, app.pages[i]);
        ShowWindow(app.pages[i], i == kPageHome ? SW_SHOW : SW_HIDE);
    }
}

HGDIOBJ CreatePanelFont(int height)
{
    return CreateFontA(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Microsoft Sans Serif");
}

// The panel's fonts at the window's scale.
void CreatePanelFonts(ConfigApp &app)
{
    app.panelFont.reset(CreatePanelFont(ScaleY(app, kPanelFontHeight)));
    app.hintFont.reset(CreatePanelFont(ScaleY(app, kHintFontHeight)));
}

void CreateButtons(ConfigApp &app)
{
    // The band stays beneath the buttons that stand on it.
    HWND band = CreateChild(app, "STATIC", "", WS_CLIPSIBLINGS, IDC_BOTTOM_BAND);
    SetWindowPos(band, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HFONT gui = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    static const struct {
        int id;
        const char *text;
    } buttons[] = {{IDC_OK, "OK"}, {IDC_CANCEL, "Cancel"}, {IDC_APPLY, "Apply"}};
    for (const auto &b : buttons) {
        HWND button = CreateChild(app, "BUTTON", b.text, WS_TABSTOP | BS_PUSHBUTTON, b.id);
        SendMessageA(button, WM_SETFONT, (WPARAM)gui, FALSE);
    }
    EnableWindow(GetDlgItem(app.window, IDC_APPLY), FALSE);
}

void CreatePanel(ConfigApp &app)
{
    static const char *const labels[] = {"Home", "Advanced", "Logs", "Help"};
    for (int i = 0; i < 4; ++i) {
        HWND nav = CreateChild(app, "STATIC", labels[i], WS_TABSTOP, IDC_NAV_HOME + i);
        AttachMenuButton(nav, (HFONT)app.panelFont.get(), &app.pictures[kPicStrip], app.scale);
    }
    // Only the hand cursor and the click: the status picture shows through.
    // Named for a screen reader by the status label, once that is made.
    HWND hotspot = CreateChild(app, "STATIC", "", 0, IDC_STATUS_HOTSPOT);

    // One line, wider than the hint beneath it with the same centre, so that
    // "Status: Welcome!" does not wrap out of sight in wider fonts.
    HWND label = CreateChild(app, "STATIC", "Status: Loading", SS_CENTER | SS_CENTERIMAGE, IDC_STATUS_LABEL);
    SendMessageA(label, WM_SETFONT, (WPARAM)app.panelFont.get(), FALSE);
    AttachMenuButton(hotspot, NULL, NULL, app.scale, label);
    SetStatusLabel(app);
    HWND hint = CreateChild(app, "STATIC", "(Click for details)", SS_CENTER, IDC_STATUS_HINT);
    SendMessageA(hint, WM_SETFONT, (WPARAM)app.hintFont.get(), FALSE);
}

// Tab goes round in reading order: the navigation buttons and the status
// picture down the panel, then the page's controls, then OK, Cancel and
// Apply. The pages come after the panel's controls, whatever their making's
// order; nothing of the two overlaps, so only the Tab order changes.
void PlaceInTabOrder(ConfigApp &app)
{
    HWND after = GetDlgItem(app.window, IDC_STATUS_HOTSPOT);
    for (HWND page : app.pages) {
        if (!page)
            continue;
        SetWindowPos(page, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = page;
    }
}

void OnCreate(ConfigApp &app)
{
    CreatePanelFonts(app);
    CreatePages(app);
    CreateButtons(app);
    CreatePanel(app);
    PlaceInTabOrder(app);
    ShowUpdaterDetecting(app.pages[kPageHome]);
}

// Shown at a new scale (another monitor's, or the monitor's scale
// changed): the window takes the size the system suggests and lays out
// its controls, fonts and pages from the same figures at that scale. The
// pictures keep their pixel size at every scale and stay where they are.
void OnDpiChanged(ConfigApp &app, WPARAM wParam, LPARAM suggested)
{
    app.scale = ScaleOfDpiChange(wParam);
    // The fonts before go at the end, once no control uses them.
    ScopedGdi oldPanel = std::move(app.panelFont), oldHint = std::move(app.hintFont);
    ScopedGdi oldButton = std::move(app.buttonFont);
    CreatePanelFonts(app);
    // The buttons' stock font is made for the screen's scale.
    HFONT gui = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    int screenDpi = ReadScreenScale().dpiY;
    if (app.scale.dpiY != screenDpi)
        app.buttonFont.reset(CreateFontAtScale(gui, screenDpi, app.scale.dpiY, false));
    for (int id : {IDC_OK, IDC_CANCEL, IDC_APPLY})
        SendDlgItemMessageA(app.window, id, WM_SETFONT, (WPARAM)(app.buttonFont ? app.buttonFont.get() : gui), FALSE);
    TakeSuggestedRect(app.window, suggested);
    for (int id : kFrameControls) {
        RECT r = FramePlace(app, id);
        MoveWindow(GetDlgItem(app.window, id), r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    }
    for (int id = IDC_NAV_HOME; id <= IDC_NAV_HELP; ++id)
        SetMenuButtonScale(GetDlgItem(app.window, id), (HFONT)app.panelFont.get(), app.scale);
    SetMenuButtonScale(GetDlgItem(app.window, IDC_STATUS_HOTSPOT), NULL, app.scale);
    SendDlgItemMessageA(app.window, IDC_STATUS_LABEL, WM_SETFONT, (WPARAM)app.panelFont.get(), FALSE);
    SendDlgItemMessageA(app.window, IDC_STATUS_HINT, WM_SETFONT, (WPARAM)app.hintFont.get(), FALSE);
    for (HWND page : app.pages) {
        if (!page)
            continue;
        PlacePage(app, page);
        SendMessageA(page, kMsgPageScaleChanged, 0, (LPARAM)&app.scale);
    }
    RedrawWindow(app.window, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void OnDestroy(ConfigApp &app)
{
    // The pages and the panel's controls are gone by now: nothing uses the fonts.
    app.panelFont.reset();
    app.hintFont.reset();
    app.buttonFont.reset();
    PostQuitMessage(0);
}

void OnPaint(ConfigApp &app, HWND window)
{
    ScopedPaint paint(window);
    HDC dc = paint.get();
    const RECT &area = paint.info().rcPaint;
    for (Image &image : app.pictures)
        PrepareImage(image, dc);
    int panel = ScaleX(app, kPanelWidth);
    if (area.right > panel) {
        RECT white = area;
        white.left = white.left > panel ? white.left : panel;
        FillRect(dc, &white, PageBrush());
    }
    // A high-contrast theme has the panel in its window colour; the
    // pictures on it stay as they are, whole and legible on any colour.
    if (area.left < panel && HighContrastOn()) {
        RECT strip = area;
        strip.right = strip.right < panel ? strip.right : panel;
        FillRect(dc, &strip, GetSysColorBrush(COLOR_WINDOW));
    } else if (area.left < panel) {
        for (int y = area.top; y < area.bottom; ++y)
            DrawImageColumns(app.pictures[kPicStrip], dc, 0, y, panel, 1, 0, kPanelWidth);
    }
    // The pictures keep their size, centred where they stand at 96 dpi.
    DrawImage(app.pictures[kPicLogo], dc, CentredX(app, kLogoX, kLogoWidth), ScaleY(app, kLogoY), kLogoWidth,
              kLogoHeight);
    DrawImage(app.pictures[StatusPicture(app.status)], dc, CentredX(app, kStatusX, kStatusSize), ScaleY(app, kStatusY),
              kStatusSize, kStatusSize);

    ScopedGdi pen(CreatePen(PS_SOLID, 1, ContrastColour(kSeparatorColour, COLOR_WINDOWTEXT)));
    ScopedSelect select(dc, pen.get());
    for (int y : {ScaleY(app, kRuleTopY), ScaleY(app, kRuleBottomY)}) {
        MoveToEx(dc, ScaleX(app, kRuleLeft), y, NULL);
        LineTo(dc, ScaleX(app, kRuleRight), y);
    }
    if (app.pages[kPageHome])
        UpdateWindow(app.pages[kPageHome]);
}

LRESULT OnCtlColorStatic(HWND window, HDC dc, HWND control, LPARAM lParam)
{
    int id = GetDlgCtrlID(control);
    if (id == IDC_BOTTOM_BAND)
        return DefWindowProcA(window, WM_CTLCOLORSTATIC, (WPARAM)dc, lParam);
    if (id == IDC_STATUS_LABEL || id == IDC_STATUS_HINT)
        SetTextColor(dc, ContrastColour(RGB(255, 255, 255), COLOR_WINDOWTEXT));
    SetBkMode(dc, TRANSPARENT);
    return (LRESULT)GetStockObject(NULL_BRUSH);
}

// A save that did not reach the file keeps the window open and says why,
// so the user neither loses the settings nor believes them saved.
bool SaveOrSay(ConfigApp &app)
{
    std::vector<std::string> hosts;
    PageChoices choices = {};
    if (ChosenHosts(app.pages[kPageHome], hosts))
        choices.hosts = &hosts;
    choices.options = ChosenOptions(app.pages[kPageAdvanced]);
    DWORD error = SaveSettings(app, choices);
    if (error == ERROR_SUCCESS) {
        if (app.status == kStatusCritical) // the save may have lifted the stop
            ApplyStatus(app, GetStatus());
        return true;
    }
    std::string text = std::string(kSettingsNotSaved) + "\n\n" + DescribeError(error);
    MessageBoxA(app.window, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
    return false;
}

void OnApply(ConfigApp &app)
{
    HWND apply = GetDlgItem(app.window, IDC_APPLY);
    // A disabled button cannot keep the keyboard focus.
    if (GetFocus() == apply)
        SetFocus(GetDlgItem(app.window, IDC_OK));
    EnableWindow(apply, FALSE);
    if (!SaveOrSay(app)) {
        EnableWindow(apply, TRUE);
        return;
    }
    TellServerInBackground(app, (int)kCmdReloadAndPass);
}

void OnOk(ConfigApp &app)
{
    if (!SaveOrSay(app))
        return;
    // Saved settings reach the updater now, not at its next reload.
    TellServerInBackground(app, (int)kCmdReloadAndPass);
    DestroyWindow(app.window);
}

void ShowPage(ConfigApp &app, int index)
{
    if (index < 0 || index >= kPageCount)
        return;
    // The keyboard focus does not stay behind on a page that goes out of
    // sight: it goes to the shown page's navigation button.
    HWND focus = GetFocus();
    for (int i = 0; i < kPageCount; ++i)
        if (i != index && app.pages[i] && focus && IsChild(app.pages[i], focus))
            SetFocus(GetDlgItem(app.window, IDC_NAV_HOME + index));
    for (int i = 0; i < kPageCount; ++i) {
        if (i != index && app.pages[i])
            ShowWindow(app.pages[i], SW_HIDE);
    }
    HWND page = app.pages[index];
    if (!page)
        return;
    ShowWindow(page, SW_SHOW);
    // The window paints the white beneath the page first, then the page and
    // its controls: what the page's group boxes enclose is not the page's
    // to erase, and the page shown before must not show through there.
    RECT area;
    GetWindowRect(page, &area);
    MapWindowPoints(NULL, app.window, (POINT *)&area, 2);
    RedrawWindow(app.window, &area, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void EnableApply(ConfigApp &app) { EnableWindow(GetDlgItem(app.window, IDC_APPLY), TRUE); }

// WM_COMMAND: only a click (BN_CLICKED, STN_CLICKED, both 0) or a menu
// item is a command of the window.
bool OnCommand(ConfigApp &app, int id, int code)
{
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_OK:
        OnOk(app);
        return true;
    case IDC_CANCEL:
    case IDCANCEL: // Escape, from the dialog keys of the message loop
        DestroyWindow(app.window);
        return true;
    case IDC_APPLY:
        OnApply(app);
        return true;
    case IDC_STATUS_HOTSPOT:
        OnStatusClick(app);
        return true;
    case IDC_NAV_HOME:
    case IDC_NAV_ADVANCED:
    case IDC_NAV_LOGS:
    case IDC_NAV_HELP:
        ShowPage(app, id - IDC_NAV_HOME);
        return true;
    }
    return false;
}

// WM_USER from other programs and the pipe listener; every code answers 1.
void OnCommandCode(ConfigApp &app, WPARAM code, LPARAM lParam)
{
    switch (code) {
    case kCmdReloadSettings:
        LoadSettings(app);
        break;
    case kCmdSettingsChanged:
        ApplyStatus(app, (int)lParam);
        break;
    case kCmdRefreshStatus:
        OnStatusChanged(app);
        break;
    case kCmdRefreshLog:
        ReloadLogPage(app.pages[kPageLogs]);
        break;
    case kCmdLatestVersion:
        ShowUpgradeAvailable(app.pages[kPageAdvanced], false);
        break;
    case kCmdUpgradeAvailable:
        ShowUpgradeAvailable(app.pages[kPageAdvanced], true);
        break;
    }
}

DWORD WINAPI TellServerThread(void *code)
{
    TellServer((int)(INT_PTR)code);
    return 0;
}

} // namespace

void TellServerInBackground(ConfigApp &app, int code)
{
    // Without a thread the code is not sent (the log says why): the window
    // must not wait for the updater, and the updater reloads on its own.
    ScopedHandle thread = StartWorker(TellServerThread, (void *)(INT_PTR)code, kTellThreadFailed);
    // Only the newest is awaited at exit; older ones have long finished.
    if (thread)
        app.tellThread = std::move(thread);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ConfigApp *state = WindowState<ConfigApp>(window, message, lParam);
    if (!state)
        return DefWindowProcA(window, message, wParam, lParam);
    ConfigApp &app = *state;
    if (message == WM_NCCREATE)
        app.window = window;
    switch (message) {
    case WM_CREATE:
        OnCreate(app);
        return 0;
    case WM_DESTROY:
        OnDestroy(app);
        return 0;
    case WM_ERASEBKGND:
        return 1; // painting covers the whole area
    case WM_PAINT:
        OnPaint(app, window);
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(app, wParam, lParam);
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: // a high-contrast theme switched on or off, among others
        RepaintForColours(window, message, wParam, lParam);
        break;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(window, (HDC)wParam, (HWND)lParam, lParam);
    case WM_COMMAND:
        if (OnCommand(app, LOWORD(wParam), HIWORD(wParam)))
            return 0;
        break;
    case WM_USER:
        OnCommandCode(app, wParam, lParam);
        return 1;
    case kMsgPageChanged:
        EnableApply(app);
        return 0;
    case kMsgShowPage:
        ShowPage(app, (int)wParam);
        return 0;
    case kMsgShowStatus:
        ApplyStatus(app, (int)wParam);
        return 0;
    case kMsgUpdaterActivity:
        OnUpdaterActivity(app, wParam == 1 ? 1 : 0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

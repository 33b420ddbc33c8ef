// The upgrade assistant's controls (see upgrade_controls.h).
#include "upgrade_controls.h"
#include "upgrade_ids.h"

#include "talvex_settings.h"

#include <commctrl.h>
#include <string.h>

#include <utility>

namespace {

// The bold font's height at 96 dots per inch.
const int kBoldHeight = 16;
// The version labels' left edge, the numbers' left edge right of them, and
// the least gap between the two, at 96 dots per inch.
const int kLabelX = 30, kValueX = 112, kLabelGap = 4;

struct ControlSpec {
    int id; // 0 for the unnumbered labels
    const char *cls;
    const char *text;
    DWORD style;
    int x, y, width, height;
    bool bold;
};

const DWORD kButton = WS_CHILD | WS_TABSTOP;
const ControlSpec kControls[] = {
    {0, "STATIC", "Talvex \xAE Updater", WS_CHILD | WS_VISIBLE, 15, 90, 300, 18, true},
    // The labels never wrap: with a wider default font a wrapped label showed
    // only its first word (see FitVersionColumn).
    {0, "STATIC", "Local Version: ", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, kLabelX, 116, 76, 18, false},
    {0, "STATIC", "Latest Version: ", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, kLabelX, 136, 76, 18, false},
    {IDC_LOCAL_VERSION, "STATIC", TALVEX_VERSION, WS_CHILD | WS_VISIBLE, kValueX, 116, 76, 18, false},
    {IDC_LATEST_VERSION, "STATIC", kTextChecking, WS_CHILD | WS_VISIBLE, kValueX, 136, 76, 18, false},
    {0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 15, 164, 385, 1, false},
    {IDC_HEADING, "STATIC", kHeadingChecking, WS_CHILD | WS_VISIBLE, 15, 174, 372, 18, true},
    {IDC_MESSAGE, "STATIC", "", WS_CHILD | WS_VISIBLE, 15, 192, 385, 38, false},
    {IDC_PROGRESS, PROGRESS_CLASSA, "", WS_CHILD | PBS_SMOOTH, 15, 254, 384, 20, false},
    {IDC_CHECK_AGAIN, "BUTTON", "&Check Again", kButton | BS_DEFPUSHBUTTON | WS_DISABLED, 14, 286, 120, 28, false},
    {IDC_UPGRADE_NOW, "BUTTON", "&Upgrade Now", kButton | BS_DEFPUSHBUTTON | WS_VISIBLE | WS_DISABLED, 14, 286,
     120, 28, false},
    {IDC_IGNORE_VERSION, "BUTTON", "Ignore This &Version", kButton | WS_VISIBLE | WS_DISABLED, 147, 286, 120, 28,
     false},
    {IDC_CLOSE, "BUTTON", "&Close", kButton | WS_VISIBLE, 280, 286, 120, 28, false},
};

// The version numbers stand right of the labels. Where the default
// font is wider than the 76 units the labels have (it is under Wine), the
// labels grow and the numbers move right so that nothing is cut or run together.
void FitVersionColumn(const UpgradeWindow &state)
{
    HWND window = state.window;
    ScopedGetDC dc(window);
    ScopedSelect font(dc.get(), state.guiFont);
    SIZE label = {};
    const char kWidest[] = "Latest Version: ";
    if (!GetTextExtentPoint32A(dc.get(), kWidest, sizeof kWidest - 1, &label))
        return;
    int labelRight = ScaleX(state, kLabelX) + label.cx;
    int valueX = ScaleX(state, kValueX);
    if (labelRight + ScaleX(state, kLabelGap) <= valueX)
        return;
    valueX = labelRight + ScaleX(state, kLabelGap);
    HWND child = GetWindow(window, GW_CHILD);
    for (; child; child = GetWindow(child, GW_HWNDNEXT)) {
        char text[32] = "";
        GetWindowTextA(child, text, sizeof text);
        bool isLabel = strcmp(text, "Local Version: ") == 0 || strcmp(text, kWidest) == 0;
        int id = GetDlgCtrlID(child);
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(NULL, window, (POINT *)&r, 2);
        if (isLabel)
            SetWindowPos(child, NULL, 0, 0, labelRight - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
        else if (id == IDC_LOCAL_VERSION || id == IDC_LATEST_VERSION)
            SetWindowPos(child, NULL, valueX, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
}

HFONT MakeBoldFont(const UpgradeWindow &state, HFONT base)
{
    LOGFONTA font = {};
    GetObjectA(base, sizeof font, &font);
    font.lfWeight = 600;
    font.lfHeight = ScaleY(state, kBoldHeight);
    return CreateFontIndirectA(&font);
}

HWND Item(HWND window, int id) { return GetDlgItem(window, id); }

HGDIOBJ FontOf(const UpgradeWindow &state, const ControlSpec &c)
{
    return c.bold && state.boldFont ? state.boldFont.get() : (HGDIOBJ)state.guiFont;
}

} // namespace


void CreateControls(UpgradeWindow &state)
{
    state.guiFont = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    state.boldFont.reset(MakeBoldFont(state, state.guiFont));
    state.controls.clear();
    for (const ControlSpec &c : kControls) {
        HWND control = CreateWindowExA(0, c.cls, c.text, c.style, ScaleX(state, c.x), ScaleY(state, c.y),
                                       ScaleX(state, c.width), ScaleY(state, c.height), state.window,
                                       (HMENU)(INT_PTR)c.id, state.instance, NULL);
        SendMessageA(control, WM_SETFONT, (WPARAM)FontOf(state, c), FALSE);
        RECT r = {};
        GetWindowRect(control, &r);
        state.controls.push_back(
            {control, {r.right - r.left - ScaleX(state, c.width), r.bottom - r.top - ScaleY(state, c.height)}});
    }
    FitVersionColumn(state);
}

void RescaleControls(UpgradeWindow &state, const ScreenScale &scale)
{
    state.scale = scale;
    // The fonts before go at the end, once no control uses them.
    ScopedGdi oldGui = std::move(state.scaledGuiFont), oldBold = std::move(state.boldFont);
    HFONT stock = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    int screenDpi = ReadScreenScale().dpiY; // the stock font's scale
    if (scale.dpiY != screenDpi)
        state.scaledGuiFont.reset(CreateFontAtScale(stock, screenDpi, scale.dpiY, false));
    state.guiFont = state.scaledGuiFont ? (HFONT)state.scaledGuiFont.get() : stock;
    state.boldFont.reset(MakeBoldFont(state, stock));
    for (size_t i = 0; i < state.controls.size() && i < sizeof kControls / sizeof kControls[0]; ++i) {
        const ControlSpec &c = kControls[i];
        const MadeControl &made = state.controls[i];
        MoveWindow(made.window, ScaleX(state, c.x), ScaleY(state, c.y), ScaleX(state, c.width) + made.grown.cx,
                   ScaleY(state, c.height) + made.grown.cy, FALSE);
        SendMessageA(made.window, WM_SETFONT, (WPARAM)FontOf(state, c), FALSE);
    }
    FitVersionColumn(state);
}

void SetHeading(HWND window, const char *text) { SetDlgItemTextA(window, IDC_HEADING, text); }
void SetMessage(HWND window, const char *text) { SetDlgItemTextA(window, IDC_MESSAGE, text); }

void ShowItem(HWND window, int id, bool shown, bool enabled)
{
    EnableWindow(Item(window, id), enabled);
    ShowWindow(Item(window, id), shown ? SW_SHOW : SW_HIDE);
}

void SetProgress(HWND window, int percent) { SendMessageA(Item(window, IDC_PROGRESS), PBM_SETPOS, (WPARAM)percent, 0); }

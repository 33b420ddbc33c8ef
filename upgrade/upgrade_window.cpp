// The upgrade assistant's window: its controls, the version check and what
// each outcome shows, and the window procedure.
#include "upgrade_app.h"
#include "upgrade_ids.h"

#include "config_keys.h"
#include "signals.h"
#include "tallib.h"
#include "talvex_settings.h"

#include <commctrl.h>
#include <string.h>

#include <memory>

namespace {

const char kTextChecking[] = "Checking...";
const char kHeadingChecking[] = "Checking for latest version...";
const char kHeadingNewer[] = "A new version is available!";
const char kMessageNewer[] = "Click 'Upgrade Now' to download and install the new version.  If you choose 'Ignore "
                             "Version', you will not be alerted until the next release.";
const char kHeadingLatest[] = "You have the latest version.";
const char kMessageLatest[] = "You do not currently need to upgrade.";
const char kHeadingOffline[] = "Unable to connect";
const char kMessageOffline[] = "Please check your Internet connection, and allow the Talvex Upgrader Assistant to "
                               "bypass any firewalls or internet security software.";
const char kHeadingInstalling[] = "Installing Upgrades";
const char kMessageInstalling[] = "Upgrades are currently being installed.  Please do not turn of your computer.";
const char kHeadingRestarting[] = "Restarting Talvex Upgrader";
const char kMessageRestarting[] = "Please wait until the Talvex Upgrader restarts before turning off your computer.";

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
    {0, "STATIC", "Local Version: ", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, 30, 116, 76, 18, false},
    {0, "STATIC", "Latest Version: ", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, 30, 136, 76, 18, false},
    {IDC_LOCAL_VERSION, "STATIC", TALVEX_VERSION, WS_CHILD | WS_VISIBLE, 112, 116, 76, 18, false},
    {IDC_LATEST_VERSION, "STATIC", kTextChecking, WS_CHILD | WS_VISIBLE, 112, 136, 76, 18, false},
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

HWND Item(int id) { return GetDlgItem(g_app.window, id); }

void ShowItem(int id, bool shown, bool enabled)
{
    EnableWindow(Item(id), enabled);
    ShowWindow(Item(id), shown ? SW_SHOW : SW_HIDE);
}

// The version numbers stand at x 112, right of the labels. Where the default
// font is wider than the 76 units the labels have (it is under Wine), the
// labels grow and the numbers move right so that nothing is cut or run together.
void FitVersionColumn(HWND window)
{
    ScopedGetDC dc(window);
    ScopedSelect font(dc.get(), g_app.guiFont);
    SIZE label = {};
    const char kWidest[] = "Latest Version: ";
    if (!GetTextExtentPoint32A(dc.get(), kWidest, sizeof kWidest - 1, &label))
        return;
    int labelRight = ScaleX(30) + label.cx;
    int valueX = ScaleX(112);
    if (labelRight + ScaleX(4) <= valueX)
        return;
    valueX = labelRight + ScaleX(4);
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

HFONT MakeBoldFont(HFONT base)
{
    LOGFONTA font = {};
    GetObjectA(base, sizeof font, &font);
    font.lfWeight = 600;
    font.lfHeight = ScaleY(16);
    return CreateFontIndirectA(&font);
}

// Offer, up to date or unreachable, after a version check.
void ShowCheckResult(int result, const char *found)
{
    bool newer = result == 1;
    SetDlgItemTextA(g_app.window, IDC_LATEST_VERSION, result == -1 ? "Unknown" : found);
    SetHeading(newer ? kHeadingNewer : result == 0 ? kHeadingLatest : kHeadingOffline);
    SetMessage(newer ? kMessageNewer : result == 0 ? kMessageLatest : kMessageOffline);
    ShowItem(IDC_HEADING, true, true);
    ShowItem(IDC_MESSAGE, true, true);
    ShowItem(IDC_UPGRADE_NOW, newer, newer);
    ShowItem(IDC_IGNORE_VERSION, newer, newer);
    ShowItem(IDC_CHECK_AGAIN, !newer, !newer);
    ShowWindow(Item(IDC_PROGRESS), newer ? SW_SHOW : SW_HIDE);
    // The shown one of the two buttons in the same place takes Enter.
    SendMessageA(g_app.window, DM_SETDEFID, newer ? IDC_UPGRADE_NOW : IDC_CHECK_AGAIN, 0);
    SetFocus(Item(newer ? IDC_UPGRADE_NOW : IDC_CHECK_AGAIN));
}

void IgnoreThisVersion()
{
    char version[64] = "";
    GetDlgItemTextA(g_app.window, IDC_LATEST_VERSION, version, sizeof version);
    Profile_WriteText(g_app.configFile, kSectionApp, kKeyIgnoreVersion, version);
    TellConfig((int)kCmdLatestVersion, 0);
    PostQuitMessage(0);
}

LRESULT OnCommand(WPARAM wParam)
{
    if (HIWORD(wParam) != 0)
        return 0;
    // A button that is disabled or hidden does nothing, whoever sends its
    // command: a second "Upgrade Now" must not start a second download.
    HWND button = Item(LOWORD(wParam));
    if (button && (!IsWindowEnabled(button) || !IsWindowVisible(button)))
        return 0;
    switch (LOWORD(wParam)) {
    case IDC_UPGRADE_NOW:
        StartDownload();
        break;
    case IDC_IGNORE_VERSION:
        IgnoreThisVersion();
        break;
    case IDC_CLOSE:
        PostQuitMessage(0);
        break;
    case IDC_CHECK_AGAIN:
        RunVersionCheck();
        break;
    case IDCANCEL: // Escape, as in a dialog
        if (IsWindowEnabled(Item(IDC_CLOSE)))
            PostQuitMessage(0);
        break;
    }
    return 0;
}

void OnPaint(HWND window)
{
    ScopedPaint paint(window);
    PaintHeader(window, paint.get(), paint.info().rcPaint);
}

} // namespace

void SetHeading(const char *text) { SetDlgItemTextA(g_app.window, IDC_HEADING, text); }
void SetMessage(const char *text) { SetDlgItemTextA(g_app.window, IDC_MESSAGE, text); }

void CreateControls(HWND window)
{
    g_app.guiFont = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    g_app.boldFont.reset(MakeBoldFont(g_app.guiFont));
    for (const ControlSpec &c : kControls) {
        HWND control = CreateWindowExA(0, c.cls, c.text, c.style, ScaleX(c.x), ScaleY(c.y), ScaleX(c.width),
                                       ScaleY(c.height), window, (HMENU)(INT_PTR)c.id, g_app.instance, NULL);
        HGDIOBJ font = c.bold && g_app.boldFont ? g_app.boldFont.get() : (HGDIOBJ)g_app.guiFont;
        SendMessageA(control, WM_SETFONT, (WPARAM)font, FALSE);
    }
    FitVersionColumn(window);
}

namespace {

// A version check's outcome, made by its worker and freed by the window.
struct VersionCheck {
    int result;
    char found[16];
};

bool g_checking = false; // the window thread's own: one check at a time

DWORD WINAPI VersionCheckThread(void *parameter)
{
    VersionCheck *check = (VersionCheck *)parameter;
    check->result = NewVersion(TALVEX_VERSION, check->found, sizeof check->found);
    if (!PostMessageA(g_app.window, kMsgVersionChecked, 0, (LPARAM)check))
        delete check; // the window is gone
    return 0;
}

} // namespace

void RunVersionCheck()
{
    if (g_checking)
        return;
    SetDlgItemTextA(g_app.window, IDC_LATEST_VERSION, kTextChecking);
    SetHeading(kHeadingChecking);
    ShowItem(IDC_HEADING, true, true);
    ShowItem(IDC_CHECK_AGAIN, false, false);
    ShowWindow(Item(IDC_PROGRESS), SW_SHOW);
    ShowWindow(Item(IDC_MESSAGE), SW_HIDE);
    SendMessageA(Item(IDC_PROGRESS), PBM_SETPOS, 0, 0);
    // The window keeps painting and answering while the page is asked.
    g_checking = true;
    VersionCheck *check = new VersionCheck();
    ScopedHandle worker(CreateThread(NULL, 0, VersionCheckThread, check, 0, NULL));
    if (!worker) { // no thread to be had: ask here rather than not at all
        VersionCheckThread(check);
    }
}

void OnVersionChecked(LPARAM result)
{
    std::unique_ptr<VersionCheck> check((VersionCheck *)result);
    g_checking = false;
    ShowCheckResult(check->result, check->found);
}

LRESULT CALLBACK UpgradeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_COMMAND:
        return OnCommand(wParam);
    case kMsgUpgradeInstalling:
        SetHeading(kHeadingInstalling);
        SetMessage(kMessageInstalling);
        break;
    case kMsgUpgradeRestarting:
        SetHeading(kHeadingRestarting);
        SetMessage(kMessageRestarting);
        PostQuitMessage(0);
        return 0;
    case kMsgDownloadDone:
        FinishDownload((int)wParam, (DWORD)lParam);
        return 0;
    case kMsgDownloadProgress:
        ShowDownloadProgress((int)wParam);
        return 0;
    case kMsgVersionChecked:
        OnVersionChecked(lParam);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

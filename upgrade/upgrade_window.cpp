// The upgrade assistant's window: its controls, the version check and what
// each outcome shows, and the window procedure.
#include "upgrade_window.h"
#include "window_state.h"
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

// Posted by the version check's worker: lParam its result (a VersionCheck,
// below), which the window thread shows and frees. WM_APP + 3 and + 4 are
// the download's (download.h).
constexpr UINT kMsgVersionChecked = WM_APP + 5;

HWND Item(const UpgradeWindow &state, int id) { return GetDlgItem(state.window, id); }

void ShowItem(const UpgradeWindow &state, int id, bool shown, bool enabled)
{
    EnableWindow(Item(state, id), enabled);
    ShowWindow(Item(state, id), shown ? SW_SHOW : SW_HIDE);
}

// The version numbers stand at x 112, right of the labels. Where the default
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
    int labelRight = ScaleX(state, 30) + label.cx;
    int valueX = ScaleX(state, 112);
    if (labelRight + ScaleX(state, 4) <= valueX)
        return;
    valueX = labelRight + ScaleX(state, 4);
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
    font.lfHeight = ScaleY(state, 16);
    return CreateFontIndirectA(&font);
}

// Offer, up to date or unreachable, after a version check.
void ShowCheckResult(UpgradeWindow &state, int result, const char *found)
{
    bool newer = result == 1;
    SetDlgItemTextA(state.window, IDC_LATEST_VERSION, result == -1 ? "Unknown" : found);
    SetHeading(state, newer ? kHeadingNewer : result == 0 ? kHeadingLatest : kHeadingOffline);
    SetMessage(state, newer ? kMessageNewer : result == 0 ? kMessageLatest : kMessageOffline);
    ShowItem(state, IDC_HEADING, true, true);
    ShowItem(state, IDC_MESSAGE, true, true);
    ShowItem(state, IDC_UPGRADE_NOW, newer, newer);
    ShowItem(state, IDC_IGNORE_VERSION, newer, newer);
    ShowItem(state, IDC_CHECK_AGAIN, !newer, !newer);
    ShowWindow(Item(state, IDC_PROGRESS), newer ? SW_SHOW : SW_HIDE);
    // The shown one of the two buttons in the same place takes Enter.
    SendMessageA(state.window, DM_SETDEFID, newer ? IDC_UPGRADE_NOW : IDC_CHECK_AGAIN, 0);
    SetFocus(Item(state, newer ? IDC_UPGRADE_NOW : IDC_CHECK_AGAIN));
}

void IgnoreThisVersion(const UpgradeWindow &state)
{
    char version[64] = "";
    GetDlgItemTextA(state.window, IDC_LATEST_VERSION, version, sizeof version);
    Profile_WriteText(state.configFile, kSectionApp, kKeyIgnoreVersion, version);
    TellConfig((int)kCmdLatestVersion, 0);
    PostQuitMessage(0);
}

LRESULT OnCommand(UpgradeWindow &state, WPARAM wParam)
{
    if (HIWORD(wParam) != 0)
        return 0;
    // A button that is disabled or hidden does nothing, whoever sends its
    // command: a second "Upgrade Now" must not start a second download.
    HWND button = Item(state, LOWORD(wParam));
    if (button && (!IsWindowEnabled(button) || !IsWindowVisible(button)))
        return 0;
    switch (LOWORD(wParam)) {
    case IDC_UPGRADE_NOW:
        StartDownload(state);
        break;
    case IDC_IGNORE_VERSION:
        IgnoreThisVersion(state);
        break;
    case IDC_CLOSE:
        PostQuitMessage(0);
        break;
    case IDC_CHECK_AGAIN:
        RunVersionCheck(state);
        break;
    case IDCANCEL: // Escape, as in a dialog
        if (IsWindowEnabled(Item(state, IDC_CLOSE)))
            PostQuitMessage(0);
        break;
    }
    return 0;
}

void OnPaint(UpgradeWindow &state)
{
    ScopedPaint paint(state.window);
    PaintHeader(state.art, paint.get(), paint.info().rcPaint, ScaleX(state, 215));
}

// The controls of the table, with their fonts.
void OnCreate(UpgradeWindow &state, HWND window)
{
    state.window = window;
    state.guiFont = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    state.boldFont.reset(MakeBoldFont(state, state.guiFont));
    for (const ControlSpec &c : kControls) {
        HWND control = CreateWindowExA(0, c.cls, c.text, c.style, ScaleX(state, c.x), ScaleY(state, c.y),
                                       ScaleX(state, c.width), ScaleY(state, c.height), window,
                                       (HMENU)(INT_PTR)c.id, state.instance, NULL);
        HGDIOBJ font = c.bold && state.boldFont ? state.boldFont.get() : (HGDIOBJ)state.guiFont;
        SendMessageA(control, WM_SETFONT, (WPARAM)font, FALSE);
    }
    FitVersionColumn(state);
}

// A version check's outcome, made by its worker and freed by the window.
// The worker knows only this: the window to post to and what it found.
struct VersionCheck {
    HWND window;
    int result;
    char found[16];
};

DWORD WINAPI VersionCheckThread(void *parameter)
{
    VersionCheck *check = (VersionCheck *)parameter;
    check->result = NewVersion(TALVEX_VERSION, check->found, sizeof check->found);
    if (!PostMessageA(check->window, kMsgVersionChecked, 0, (LPARAM)check))
        delete check; // the window is gone
    return 0;
}

void OnVersionChecked(UpgradeWindow &state, LPARAM result)
{
    std::unique_ptr<VersionCheck> check((VersionCheck *)result);
    state.checking = false;
    ShowCheckResult(state, check->result, check->found);
}

void OnInstallerMessage(UpgradeWindow &state, const char *heading, const char *text)
{
    SetHeading(state, heading);
    SetMessage(state, text);
}

} // namespace

void SetHeading(UpgradeWindow &state, const char *text) { SetDlgItemTextA(state.window, IDC_HEADING, text); }
void SetMessage(UpgradeWindow &state, const char *text) { SetDlgItemTextA(state.window, IDC_MESSAGE, text); }

void RunVersionCheck(UpgradeWindow &state)
{
    if (state.checking)
        return;
    SetDlgItemTextA(state.window, IDC_LATEST_VERSION, kTextChecking);
    SetHeading(state, kHeadingChecking);
    ShowItem(state, IDC_HEADING, true, true);
    ShowItem(state, IDC_CHECK_AGAIN, false, false);
    ShowWindow(Item(state, IDC_PROGRESS), SW_SHOW);
    ShowWindow(Item(state, IDC_MESSAGE), SW_HIDE);
    SendMessageA(Item(state, IDC_PROGRESS), PBM_SETPOS, 0, 0);
    // The window keeps painting and answering while the page is asked.
    state.checking = true;
    VersionCheck *check = new VersionCheck();
    check->window = state.window;
    ScopedHandle worker(CreateThread(NULL, 0, VersionCheckThread, check, 0, NULL));
    if (!worker) { // no thread to be had: ask here rather than not at all
        VersionCheckThread(check);
    }
}

LRESULT CALLBACK UpgradeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    UpgradeWindow *state = WindowState<UpgradeWindow>(window, message, lParam);
    if (!state)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        OnCreate(*state, window);
        break;
    case WM_PAINT:
        OnPaint(*state);
        return 0;
    case WM_COMMAND:
        return OnCommand(*state, wParam);
    case kMsgUpgradeInstalling:
        ReleaseInstaller(*state); // the installer now holds its own file
        OnInstallerMessage(*state, kHeadingInstalling, kMessageInstalling);
        break;
    case kMsgInstallerEnded:
        ReleaseInstaller(*state);
        return 0;
    case kMsgUpgradeRestarting:
        OnInstallerMessage(*state, kHeadingRestarting, kMessageRestarting);
        PostQuitMessage(0);
        return 0;
    case kMsgDownloadDone:
        FinishDownload(*state, (int)wParam, (DWORD)lParam);
        return 0;
    case kMsgDownloadProgress:
        ShowDownloadProgress(*state, (int)wParam);
        return 0;
    case kMsgVersionChecked:
        OnVersionChecked(*state, lParam);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: // the state outlives the window, never the other way round
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        state->window = NULL;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

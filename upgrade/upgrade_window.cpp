// The upgrade assistant's window: the version check and what each outcome
// shows, the download's progress and end as the window shows them, the
// installer's start, and the window procedure.
#include "upgrade_window.h"
#include "text_format.h"
#include "upgrade_controls.h"
#include "upgrade_ids.h"
#include "upgrade_messages.h"
#include "window_state.h"
#include "contrast.h"
#include "worker.h"

#include "config_keys.h"
#include "error_text.h"
#include "signals.h"
#include "tallib.h"
#include "talvex_settings.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <utility>

namespace {

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
const char kHeadingDownloading[] = "Downloading Upgrades";
const char kMessageInitiating[] = "Initiating";
const char kHeadingFailed[] = "Download failed";
const char kCheckThreadFailed[] = "Error creating thread to check for a new version.";
const char kFolderFailed[] = "The folder to save the installer in could not be made.\n\n";

HWND Item(const UpgradeWindow &state, int id) { return GetDlgItem(state.window, id); }

// ---- The version check ---------------------------------------------------------

// Offer, up to date or unreachable, after a version check.
void ShowCheckResult(UpgradeWindow &state, int result, const char *found)
{
    HWND window = state.window;
    bool newer = result == VERSION_NEWER;
    bool latest = result == VERSION_NOT_NEWER;
    SetDlgItemTextA(window, IDC_LATEST_VERSION, result == VERSION_NO_ANSWER ? "Unknown" : found);
    SetHeading(window, newer ? kHeadingNewer : latest ? kHeadingLatest : kHeadingOffline);
    SetMessage(window, newer ? kMessageNewer : latest ? kMessageLatest : kMessageOffline);
    ShowItem(window, IDC_HEADING, true, true);
    ShowItem(window, IDC_MESSAGE, true, true);
    ShowItem(window, IDC_UPGRADE_NOW, newer, newer);
    ShowItem(window, IDC_IGNORE_VERSION, newer, newer);
    ShowItem(window, IDC_CHECK_AGAIN, !newer, !newer);
    ShowWindow(Item(state, IDC_PROGRESS), newer ? SW_SHOW : SW_HIDE);
    // The shown one of the two buttons in the same place takes Enter.
    SendMessageA(window, DM_SETDEFID, newer ? IDC_UPGRADE_NOW : IDC_CHECK_AGAIN, 0);
    SetFocus(Item(state, newer ? IDC_UPGRADE_NOW : IDC_CHECK_AGAIN));
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
    PostResult(check->window, kMsgVersionChecked, check);
    return 0;
}

void OnVersionChecked(UpgradeWindow &state, LPARAM result)
{
    std::unique_ptr<VersionCheck> check((VersionCheck *)result);
    state.checking = false;
    ShowCheckResult(state, check->result, check->found);
}

void IgnoreThisVersion(const UpgradeWindow &state)
{
    char version[64] = "";
    GetDlgItemTextA(state.window, IDC_LATEST_VERSION, version, sizeof version);
    Profile_WriteText(state.configFile, kSectionApp, kKeyIgnoreVersion, version);
    TellConfig((int)kCmdLatestVersion, 0);
    PostQuitMessage(0);
}

// ---- The download and the installer -------------------------------------------

// "Upgrade Now": the buttons wait while the download runs. A step that
// fails to start it is named in a message box; the buttons then stay
// disabled and the window's close box ends the program.
void OnUpgradeNow(UpgradeWindow &state)
{
    HWND window = state.window;
    EnableWindow(Item(state, IDC_UPGRADE_NOW), FALSE);
    EnableWindow(Item(state, IDC_IGNORE_VERSION), FALSE);
    EnableWindow(Item(state, IDC_CLOSE), FALSE);
    SetHeading(window, kHeadingDownloading);
    SetMessage(window, kMessageInitiating);
    ShowWindow(Item(state, IDC_MESSAGE), SW_SHOW);
    SendMessageA(Item(state, IDC_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SetProgress(window, 0);

    DWORD error = state.sessionError;
    HttpStep step = HttpOpenFailed;
    std::string text;
    if (!MakeDownloadFolder(state.downloadFolder, &error)) {
        text = std::string(kFolderFailed) + DescribeError(error);
    } else {
        if (state.session)
            step = StartDownload(state.download, state.session.get(), window, state.downloadFolder.installer, &error);
        if (step == HttpOk) {
            state.downloading = true;
            return;
        }
        RemoveDownloadFolder(state.downloadFolder);
        text = DownloadStartFailure(step) + "\n\n" + DescribeError(error);
    }
    MessageBoxA(window, text.c_str(), kUpgradeCaption, MB_OK | MB_ICONERROR);
}

void OnDownloadProgress(UpgradeWindow &state, int percent)
{
    // A late report after the end (a cancelled download may still have
    // one queued) changes nothing.
    if (!state.downloading)
        return;
    char text[32];
    FormatText(text, sizeof text, "%u%% Complete...", (unsigned)percent);
    SetMessage(state.window, text);
    SetProgress(state.window, percent);
}

VOID CALLBACK OnInstallerEnded(void *window, BOOLEAN)
{
    PostMessageA((HWND)window, kMsgInstallerEnded, 0, 0);
}

// Starts the checked installer, still held, and learns when it ends.
void StartInstaller(UpgradeWindow &state, ScopedFile checked)
{
    char arguments[MAX_PATH + 8];
    FormatText(arguments, sizeof arguments, "/S /D=%s", state.programFolder);
    SHELLEXECUTEINFOA run = {};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS;
    run.lpVerb = "open";
    run.lpFile = state.downloadFolder.installer;
    run.lpParameters = arguments;
    run.lpDirectory = state.downloadFolder.path; // its own folder, which only the user and administrators may write
    run.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&run)) {
        // Not started (the user may have declined): nothing to hold or keep.
        checked.reset();
        RemoveDownloadFolder(state.downloadFolder);
        return;
    }
    state.heldInstaller = std::move(checked);
    state.installerProcess.reset(run.hProcess);
    if (state.installerProcess)
        RegisterWaitForSingleObject(state.installerWait.out(), state.installerProcess.get(), OnInstallerEnded,
                                    state.window, INFINITE, WT_EXECUTEONLYONCE);
}

// The exchange is over: the saved file is checked and started, or deleted
// and the window says why.
void OnDownloadDone(UpgradeWindow &state, InstallerVerdict verdict, DWORD detail)
{
    state.downloading = false;
    ScopedFile checked;
    verdict = CheckDownload(state.download, verdict, &detail, checked);
    if (verdict == kInstallerOk) {
        StartInstaller(state, std::move(checked));
    } else {
        RemoveDownloadFolder(state.downloadFolder); // CheckDownload deleted the file
        SetHeading(state.window, kHeadingFailed);
        SetMessage(state.window, DownloadFailureText(state.download, verdict, detail).c_str());
        EnableWindow(Item(state, IDC_UPGRADE_NOW), TRUE); // the user may try again
    }
    EnableWindow(Item(state, IDC_CLOSE), TRUE);
}

void OnInstallerMessage(UpgradeWindow &state, const char *heading, const char *text)
{
    SetHeading(state.window, heading);
    SetMessage(state.window, text);
}

// Whether the installer this assistant started still runs. Only its
// process says so: the installer's messages can be posted by any program
// on the desktop, and the hold on its file must outlast the moment it
// reads itself.
bool InstallerRuns(const UpgradeWindow &state)
{
    return state.installerProcess && WaitForSingleObject(state.installerProcess.get(), 0) == WAIT_TIMEOUT;
}

// The installer's process has ended (the wait says so, and the process
// handle confirms it: the message itself could come from anyone): the
// hold and the download folder go, and the assistant ends if it was told
// to restart meanwhile.
void OnInstallerEnded(UpgradeWindow &state)
{
    if (InstallerRuns(state))
        return;
    ReleaseInstaller(state);
    RemoveDownloadFolder(state.downloadFolder);
    if (state.endWhenInstallerEnds)
        PostQuitMessage(0);
}

// "Restarting": the assistant ends, but not while the installer it started
// runs, whose file it holds until then.
void EndOnceInstallerEnded(UpgradeWindow &state)
{
    if (InstallerRuns(state))
        state.endWhenInstallerEnds = true;
    else
        PostQuitMessage(0);
}

// ---- The window ---------------------------------------------------------------

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
        OnUpgradeNow(state);
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
    case IDCANCEL: // Escape, as in a dialog: only while "Close" may be used
        if (IsWindowEnabled(Item(state, IDC_CLOSE)))
            PostQuitMessage(0);
        break;
    }
    return 0;
}

// The header band's title picture stands here, at 96 dots per inch.
const int kHeaderTitleX = 215;

// Shown at a new scale (another monitor's, or the monitor's changed): the
// size the system suggests, the controls and fonts as at that scale. The
// header's pictures keep their pixel size at every scale.
void OnDpiChanged(UpgradeWindow &state, WPARAM wParam, LPARAM suggested)
{
    TakeSuggestedRect(state.window, suggested);
    RescaleControls(state, ScaleOfDpiChange(wParam));
    RedrawWindow(state.window, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void OnPaint(UpgradeWindow &state)
{
    ScopedPaint paint(state.window);
    PaintHeader(state.art, paint.get(), paint.info().rcPaint, ScaleX(state, kHeaderTitleX));
}

} // namespace

void RunVersionCheck(UpgradeWindow &state)
{
    if (state.checking)
        return;
    HWND window = state.window;
    SetDlgItemTextA(window, IDC_LATEST_VERSION, kTextChecking);
    SetHeading(window, kHeadingChecking);
    ShowItem(window, IDC_HEADING, true, true);
    ShowItem(window, IDC_CHECK_AGAIN, false, false);
    ShowWindow(Item(state, IDC_PROGRESS), SW_SHOW);
    ShowWindow(Item(state, IDC_MESSAGE), SW_HIDE);
    SetProgress(window, 0);
    // The window keeps painting and answering while the page is asked.
    VersionCheck *check = new VersionCheck();
    check->window = window;
    if (StartWorker(VersionCheckThread, check, kCheckThreadFailed)) {
        state.checking = true;
        return;
    }
    delete check;
    ShowCheckResult(state, -1, ""); // "Unable to connect": the user may check again
}

void ReleaseInstaller(UpgradeWindow &state)
{
    state.installerWait.reset(); // no callback runs after this
    state.installerProcess.reset();
    state.heldInstaller.reset();
}

LRESULT CALLBACK UpgradeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    UpgradeWindow *state = WindowState<UpgradeWindow>(window, message, lParam);
    if (!state)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        state->window = window;
        CreateControls(*state);
        break;
    case WM_PAINT:
        OnPaint(*state);
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(*state, wParam, lParam);
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: // a high-contrast theme switched on or off, among others
        RepaintForColours(window, message, wParam, lParam);
        break;
    case WM_COMMAND:
        return OnCommand(*state, wParam);
    case kMsgUpgradeInstalling:
        OnInstallerMessage(*state, kHeadingInstalling, kMessageInstalling);
        break;
    case kMsgInstallerEnded:
        OnInstallerEnded(*state);
        return 0;
    case kMsgUpgradeRestarting:
        OnInstallerMessage(*state, kHeadingRestarting, kMessageRestarting);
        EndOnceInstallerEnded(*state);
        return 0;
    case kMsgDownloadDone:
        OnDownloadDone(*state, (InstallerVerdict)wParam, (DWORD)lParam);
        return 0;
    case kMsgDownloadProgress:
        OnDownloadProgress(*state, (int)wParam);
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

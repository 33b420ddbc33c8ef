// The installer download: an asynchronous exchange (http_exchange.h) whose
// receiver saves the body as setup.exe in the data folder while the
// progress bar advances. The file is started only when it is whole and is a Windows
// program; anything else is deleted and the window says why. From its
// creation until the installer says it is installing (or has ended) the
// file is held open so that others may only read it: the file checked is
// the file that runs with administrator rights.
#include "download.h"
#include "upgrade_ids.h"
#include "upgrade_window.h"
#include "data_folder_check.h"
#include "error_text.h"
#include "installer_check.h"
#include "publisher_check.h"

#include "talvex_settings.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const char kOpenFailed[] = "WinHttpOpen failed.  Check your Internet connection, and try again.";
const char kConnectFailed[] = "WinHttpConnect failed.  Check your Internet connection, and try again.";
const char kRequestFailed[] = "WinHttpOpenRequest failed.  Check your Internet connection, and try again.";
const char kSendFailed[] = "WinHttpSendRequest failed.  Check your Internet connection, and try again.";
const char kHeadingDownloading[] = "Downloading Upgrades";
const char kHeadingFailed[] = "Download failed";
const char kNothingInstalled[] = "  Nothing was installed; try again later.";
const char kInstallerPath[] = "/windows/TalUpSetup.exe";
// The first bytes of the file hold a program's headers and section table.
const DWORD kHeadBytes = 4096;
// When the program ends during a download, WinHTTP is given this long to
// give the request up (Windows does at once, Wine when a time-out ends).
const DWORD kCancelWaitMs = 500;

HWND Item(const UpgradeWindow &state, int id) { return GetDlgItem(state.window, id); }

// A step that failed to start the download, and why on a line of its own.
void ShowFailure(const UpgradeWindow &state, const char *text, DWORD error)
{
    std::string message = std::string(text) + "\n\n" + DescribeError(error);
    MessageBoxA(state.window, message.c_str(), kUpgradeCaption, MB_OK | MB_ICONERROR);
}

// The fixed text that names a step failing to start the download.
const char *StartFailureText(HttpStep step)
{
    switch (step) {
    case HttpConnectFailed: return kConnectFailed;
    case HttpRequestFailed:
    case HttpCredentialsFailed: return kRequestFailed;
    case HttpSendFailed: return kSendFailed;
    default: return kOpenFailed;
    }
}

// The installer comes over HTTPS from the download server itself: the file
// is run with administrator rights. The exchange verifies its certificate,
// as every exchange of the suite does; nothing relaxes that, not even for tests.
HttpTarget InstallerSource()
{
    HttpTarget source;
    source.host = TALVEX_HOST_DOWNLOAD;
    source.port = INTERNET_DEFAULT_HTTPS_PORT;
    source.path = kInstallerPath;
    source.secure = true;
    return source;
}

} // namespace

// ---- The exchange's receiver: WinHTTP's threads, posting only ----------------

bool Download::OnSent()
{
    // The file will run with administrator rights: it is saved only in
    // the real data folder, never through a link planted in its place.
    char folder[MAX_PATH];
    lstrcpynA(folder, installerFile, MAX_PATH);
    if (char *name = strrchr(folder, '\\'))
        *name = '\0';
    if (DataFolderChainFault(folder)) {
        saved = false;
        verdict = kInstallerNotSaved;
        detail = ERROR_ACCESS_DENIED;
        return false;
    }
    // A new file of our own: a file someone else left under the name (and
    // may still hold, or own) is never written into.
    DeleteFileA(installerFile);
    // Others may read the file while it arrives, but nobody else writes,
    // renames or deletes it.
    file = CreateFileA(installerFile, GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, NULL, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE)
        return true;
    saved = false;
    verdict = kInstallerNotSaved;
    detail = GetLastError();
    return false;
}

bool Download::OnHeaders(HINTERNET request)
{
    DWORD code = 0, size = sizeof code;
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                            &code, &size, WINHTTP_NO_HEADER_INDEX))
        status = code;
    if (status != 200) {
        verdict = kInstallerBadStatus; // an error page is never saved as the installer
        return false;
    }
    size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, NULL, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (size > 0) {
        std::vector<wchar_t> wide(size / sizeof(wchar_t) + 1, L'\0');
        if (WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, wide.data(),
                                &size, WINHTTP_NO_HEADER_INDEX)) {
            int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, NULL, 0, NULL, NULL);
            std::vector<char> text(n > 0 ? n : 1, '\0');
            WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), (int)text.size(), NULL, NULL);
            total = AnnouncedLength(text.data());
        }
    }
    return true;
}

bool Download::OnBody(const char *bytes, DWORD length)
{
    received += length;
    DWORD written = 0;
    if (!WriteFile(file, bytes, length, &written, NULL) || written != length)
        saved = false;
    int percent = DownloadPercent(received, total);
    if (percent >= 0)
        PostMessageA(window, kMsgDownloadProgress, (WPARAM)percent, 0);
    return true;
}

// The exchange is over, one way or the other. The window thread takes it
// from here (it alone starts programs and shows results); a download
// stopped because the program ends tells it nothing. The file stays open
// (FinishDownload takes it over), except when the program ends.
void Download::OnEnd(HttpStep step, DWORD error, bool)
{
    if (file != INVALID_HANDLE_VALUE && !FlushFileBuffers(file))
        saved = false;
    if (step == HttpStopped && error == ERROR_WINHTTP_OPERATION_CANCELLED) {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        return;
    }
    if (step == HttpOk) {
        verdict = JudgeExchange(saved, status, received, total);
    } else if (step != HttpStopped || verdict == kInstallerOk) { // a TLS failure included
        verdict = kInstallerNetwork;
        detail = error;
    }
    if (verdict == kInstallerBadStatus)
        detail = status;
    PostMessageA(window, kMsgDownloadDone, (WPARAM)verdict, (LPARAM)detail);
}

namespace {

bool SameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION one, other;
    return GetFileInformationByHandle(a, &one) && GetFileInformationByHandle(b, &other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber && one.nFileIndexHigh == other.nFileIndexHigh &&
           one.nFileIndexLow == other.nFileIndexLow;
}

// The saved file, open for reading only and shared for reading only, from
// the handle that wrote it: a program cannot be started from a file that
// is open for writing. A bridge handle, open while the writing one is,
// keeps the file from being renamed or deleted, so the name can only lead
// to the same file (which each new handle confirms); the checks that follow
// read through the returned handle, so a change made while the bridge
// alone held the file is seen by them.
ScopedFile HoldForReading(ScopedFile written, const char *path)
{
    ScopedFile bridge(
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL));
    if (!bridge || !SameFile(written.get(), bridge.get()))
        return ScopedFile();
    written.reset();
    ScopedFile held(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    if (!held || !SameFile(bridge.get(), held.get()))
        return ScopedFile();
    return held;
}

// A saved file is started only if it has a program's form.
bool IsWindowsProgram(HANDLE file)
{
    LARGE_INTEGER size = {};
    if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size))
        return false;
    unsigned char head[kHeadBytes] = {};
    DWORD read = 0;
    if (!ReadFile(file, head, kHeadBytes, &read, NULL))
        return false;
    return LooksLikeWindowsProgram(head, read, (uint64_t)size.QuadPart);
}

void ExplainFailure(UpgradeWindow &state, int verdict, DWORD detail)
{
    const Download &d = state.download;
    char text[512];
    switch (verdict) {
    case kInstallerNotSaved:
        snprintf(text, sizeof text, "The installer could not be saved in the data folder (%s).%s",
                 DescribeError(detail).c_str(), kNothingInstalled);
        break;
    case kInstallerBadStatus:
        snprintf(text, sizeof text, "The download server answered with status %lu instead of the installer.%s",
                 (unsigned long)detail, kNothingInstalled);
        break;
    case kInstallerIncomplete:
        snprintf(text, sizeof text, "The download was incomplete (%llu of %llu bytes).%s",
                 (unsigned long long)d.received, (unsigned long long)d.total, kNothingInstalled);
        break;
    case kInstallerNotProgram:
        snprintf(text, sizeof text, "The file received is not the Talvex Updater installer.%s", kNothingInstalled);
        break;
    case kInstallerNotSigned:
        snprintf(text, sizeof text, "The file received is not signed by the Talvex publisher.%s", kNothingInstalled);
        break;
    default:
        snprintf(text, sizeof text, "The connection to the download server failed or could not be verified (%s).%s",
                 DescribeError(detail).c_str(), kNothingInstalled);
        break;
    }
    SetHeading(state, kHeadingFailed);
    SetMessage(state, text);
}

} // namespace

void StartDownload(UpgradeWindow &state)
{
    Download &d = state.download;
    EnableWindow(Item(state, IDC_UPGRADE_NOW), FALSE);
    EnableWindow(Item(state, IDC_IGNORE_VERSION), FALSE);
    EnableWindow(Item(state, IDC_CLOSE), FALSE);
    SetHeading(state, kHeadingDownloading);
    SetMessage(state, "Initiating");
    ShowWindow(Item(state, IDC_MESSAGE), SW_SHOW);
    SendMessageA(Item(state, IDC_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(Item(state, IDC_PROGRESS), PBM_SETPOS, 0, 0);

    if (!state.session) {
        ShowFailure(state, kOpenFailed, state.sessionError);
        return;
    }
    // No exchange runs now (the button that starts one is disabled until
    // the last has ended), so its receiver's fields are the window thread's.
    d.window = state.window;
    d.installerFile = state.installerFile;
    d.file = INVALID_HANDLE_VALUE;
    d.saved = true;
    d.status = 0;
    d.total = 0;
    d.received = 0;
    d.verdict = kInstallerOk;
    d.detail = 0;
    DWORD error = 0;
    HttpStep step = StartHttpAsync(d.exchange, state.session, InstallerSource(), d, false, &error);
    if (step != HttpOk)
        ShowFailure(state, StartFailureText(step), error);
}

void ShowDownloadProgress(UpgradeWindow &state, int percent)
{
    // A late report after the end (the posts keep their order, but a
    // cancelled download may still have one queued) changes nothing.
    if (IsWindowEnabled(Item(state, IDC_CLOSE)))
        return;
    char text[32];
    snprintf(text, sizeof text, "%u%% Complete...", (unsigned)percent);
    SetMessage(state, text);
    SendMessageA(Item(state, IDC_PROGRESS), PBM_SETPOS, (WPARAM)percent, 0);
}

namespace {

VOID CALLBACK OnInstallerEnded(void *window, BOOLEAN)
{
    PostMessageA((HWND)window, kMsgInstallerEnded, 0, 0);
}

// Starts the checked installer, still held, and learns when it ends.
void StartInstaller(UpgradeWindow &state, ScopedFile checked)
{
    char arguments[MAX_PATH + 8];
    snprintf(arguments, sizeof arguments, "/S /D=%s", state.programFolder);
    SHELLEXECUTEINFOA run = {};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS;
    run.lpVerb = "open";
    run.lpFile = state.installerFile;
    run.lpParameters = arguments;
    run.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&run))
        return; // not started (the user may have declined): nothing to hold
    state.heldInstaller = std::move(checked);
    state.installerProcess.reset(run.hProcess);
    if (state.installerProcess &&
        !RegisterWaitForSingleObject(&state.installerWait, state.installerProcess.get(), OnInstallerEnded,
                                     state.window, INFINITE, WT_EXECUTEONLYONCE))
        state.installerWait = NULL;
}

} // namespace

void FinishDownload(UpgradeWindow &state, int verdict, DWORD detail)
{
    Download &d = state.download;
    ScopedFile file(d.file);
    d.file = INVALID_HANDLE_VALUE;
    if (verdict == kInstallerOk) {
        file = HoldForReading(std::move(file), state.installerFile);
        if (!file) {
            verdict = kInstallerNotSaved;
            detail = GetLastError();
        } else if (!IsWindowsProgram(file.get()))
            verdict = kInstallerNotProgram;
        else if (!SignedByPublisher(file.get(), state.installerFile))
            verdict = kInstallerNotSigned;
    }
    if (verdict != kInstallerOk) {
        file.reset();
        DeleteFileA(state.installerFile);
        ExplainFailure(state, verdict, detail);
        EnableWindow(Item(state, IDC_UPGRADE_NOW), TRUE); // the user may try again
    } else {
        StartInstaller(state, std::move(file));
    }
    EnableWindow(Item(state, IDC_CLOSE), TRUE); // last: the download is over
}

void ReleaseInstaller(UpgradeWindow &state)
{
    if (state.installerWait)
        UnregisterWaitEx(state.installerWait, INVALID_HANDLE_VALUE); // no callback runs after this
    state.installerWait = NULL;
    state.installerProcess.reset();
    state.heldInstaller.reset();
}

bool CancelDownload(UpgradeWindow &state)
{
    // The receiver closes the file when the exchange is stopped.
    if (CancelHttpAsync(state.download.exchange, kCancelWaitMs))
        DeleteFileA(state.installerFile); // never leave a cut-off installer behind
    return HttpAsyncClosed(state.download.exchange);
}

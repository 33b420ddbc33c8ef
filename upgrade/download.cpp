// The installer download: an asynchronous WinHTTP request whose callback
// saves the body as setup.exe in the data folder while the progress bar
// advances. The file is started only when it is whole and is a Windows
// program; anything else is deleted and the window says why.
#include "upgrade_app.h"
#include "upgrade_ids.h"
#include "error_text.h"
#include "installer_check.h"
#include "publisher_check.h"

#include "talvex_settings.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stdio.h>

namespace {

const char kOpenFailed[] = "WinHttpOpen failed.  Check your Internet connection, and try again.";
const char kConnectFailed[] = "WinHttpConnect failed.  Check your Internet connection, and try again.";
const char kRequestFailed[] = "WinHttpOpenRequest failed.  Check your Internet connection, and try again.";
const char kSendFailed[] = "WinHttpSendRequest failed.  Check your Internet connection, and try again.";
const char kHeadingDownloading[] = "Downloading Upgrades";
const char kHeadingFailed[] = "Download failed";
const char kNothingInstalled[] = "  Nothing was installed; try again later.";
const wchar_t kInstallerPathW[] = L"/windows/TalUpSetup.exe";
// The first bytes of the file hold a program's headers and section table.
const DWORD kHeadBytes = 4096;

Download &D() { return g_app.download; }

HWND Item(int id) { return GetDlgItem(g_app.window, id); }

// A step that failed to start the download, and why on a line of its own.
void ShowFailure(const char *text, DWORD error)
{
    std::string message = std::string(text) + "\n\n" + DescribeError(error);
    MessageBoxA(g_app.window, message.c_str(), kUpgradeCaption, MB_OK | MB_ICONERROR);
}

// Callback side: the exchange is over, one way or the other. The window
// thread takes it from here (it alone starts programs and shows results).
void EndExchange(int verdict, DWORD detail)
{
    Download &d = D();
    if (d.file != INVALID_HANDLE_VALUE) {
        if (!FlushFileBuffers(d.file))
            d.saved = false;
        CloseHandle(d.file);
        d.file = INVALID_HANDLE_VALUE;
    }
    if (verdict == kInstallerOk)
        verdict = JudgeExchange(d.saved, d.status, d.received, d.total);
    if (verdict == kInstallerBadStatus)
        detail = d.status;
    d.running = false;
    PostMessageA(g_app.window, kMsgDownloadDone, (WPARAM)verdict, (LPARAM)detail);
}

void OnRequestSent(HINTERNET request)
{
    Download &d = D();
    DeleteFileA(g_app.installerFile);
    // Others may read the file while it arrives, but nobody else writes it.
    d.file = CreateFileA(g_app.installerFile, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, NULL);
    if (d.file == INVALID_HANDLE_VALUE) {
        d.saved = false;
        EndExchange(kInstallerNotSaved, GetLastError());
        return;
    }
    if (!WinHttpReceiveResponse(request, NULL))
        EndExchange(kInstallerNetwork, GetLastError());
}

void OnHeadersAvailable(HINTERNET request)
{
    Download &d = D();
    DWORD status = 0, size = sizeof status;
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                            &status, &size, WINHTTP_NO_HEADER_INDEX))
        d.status = status;
    if (d.status != 200) {
        EndExchange(kInstallerBadStatus, d.status); // an error page is never saved as the installer
        return;
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
            d.total = AnnouncedLength(text.data());
        }
    }
    if (!WinHttpQueryDataAvailable(request, NULL))
        EndExchange(kInstallerNetwork, GetLastError());
}

void OnDataAvailable(HINTERNET request, DWORD n)
{
    Download &d = D();
    if (n == 0) { // the body is complete
        EndExchange(kInstallerOk, 0);
        return;
    }
    d.chunk.assign(n, '\0');
    if (!WinHttpReadData(request, d.chunk.data(), n, NULL))
        EndExchange(kInstallerNetwork, GetLastError());
}

void OnReadComplete(HINTERNET request, DWORD length)
{
    Download &d = D();
    if (length == 0) { // end of the body
        EndExchange(kInstallerOk, 0);
        return;
    }
    d.received += length;
    DWORD written = 0;
    if (!WriteFile(d.file, d.chunk.data(), length, &written, NULL) || written != length)
        d.saved = false;
    int percent = DownloadPercent(d.received, d.total);
    if (percent >= 0)
        PostMessageA(g_app.window, kMsgDownloadProgress, (WPARAM)percent, 0);
    d.chunk.clear();
    if (!WinHttpQueryDataAvailable(request, NULL))
        EndExchange(kInstallerNetwork, GetLastError());
}

void CALLBACK OnStatus(HINTERNET request, DWORD_PTR, DWORD status, LPVOID info, DWORD infoLength)
{
    Download &d = D();
    EnterCriticalSection(&d.lock);
    if (d.running && !d.cancelled && request == d.request) {
        switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
            OnRequestSent(request);
            break;
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            OnHeadersAvailable(request);
            break;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            OnDataAvailable(request, infoLength >= sizeof(DWORD) ? *(DWORD *)info : 0);
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            OnReadComplete(request, infoLength);
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: // a TLS failure included
            EndExchange(kInstallerNetwork, ((WINHTTP_ASYNC_RESULT *)info)->dwError);
            break;
        }
    }
    LeaveCriticalSection(&d.lock);
}

// The callback sends the window nothing, so the window thread may simply
// wait for the lock: the callback holds it only for a notification's work.
void LockFromWindow() { EnterCriticalSection(&D().lock); }

// The request and connection handles are given back; the root handle stays.
// They are taken out under the lock (a late notification then finds no
// request of its own) and closed outside it.
void CloseExchange()
{
    Download &d = D();
    LockFromWindow();
    HINTERNET request = d.request, connect = d.connect;
    d.request = NULL;
    d.connect = NULL;
    LeaveCriticalSection(&d.lock);
    if (request) {
        WinHttpSetStatusCallback(request, NULL, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0);
        WinHttpCloseHandle(request);
    }
    if (connect)
        WinHttpCloseHandle(connect);
}

// A saved file is started only if it has a program's form. The file is
// held open (others may only read it) from this check until it is started.
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

void ExplainFailure(int verdict, DWORD detail)
{
    const Download &d = D();
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
    SetHeading(kHeadingFailed);
    SetMessage(text);
}

} // namespace

void StartDownload()
{
    Download &d = D();
    EnableWindow(Item(IDC_UPGRADE_NOW), FALSE);
    EnableWindow(Item(IDC_IGNORE_VERSION), FALSE);
    EnableWindow(Item(IDC_CLOSE), FALSE);
    SetHeading(kHeadingDownloading);
    SetMessage("Initiating");
    ShowWindow(Item(IDC_MESSAGE), SW_SHOW);
    SendMessageA(Item(IDC_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(Item(IDC_PROGRESS), PBM_SETPOS, 0, 0);

    if (!g_app.session) {
        ShowFailure(kOpenFailed, g_app.sessionError);
        return;
    }
    LockFromWindow();
    d.saved = true;
    d.status = 0;
    d.total = 0;
    d.received = 0;
    d.cancelled = false;
    // HTTPS with WinHTTP's default certificate checks: the file is run with
    // administrator rights, so it must come from the download server itself.
    // No security flag is ever relaxed here, not even for tests.
    d.connect = WinHttpConnect(g_app.session, L"" TALVEX_HOST_DOWNLOAD, INTERNET_DEFAULT_HTTPS_PORT, 0);
    const char *failed = NULL;
    DWORD error = 0;
    if (!d.connect) {
        failed = kConnectFailed;
        error = GetLastError();
    } else {
        d.request = WinHttpOpenRequest(d.connect, L"GET", kInstallerPathW, NULL, WINHTTP_NO_REFERER,
                                       WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE | WINHTTP_FLAG_REFRESH);
        if (!d.request) {
            failed = kRequestFailed;
            error = GetLastError();
        }
    }
    if (!failed) {
        WinHttpSetStatusCallback(d.request, OnStatus, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0);
        d.running = true;
        if (!WinHttpSendRequest(d.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
            error = GetLastError();
            d.running = false;
            failed = kSendFailed;
        }
    }
    LeaveCriticalSection(&d.lock);
    if (failed) {
        CloseExchange();
        ShowFailure(failed, error);
    }
}

void ShowDownloadProgress(int percent)
{
    // A late report after the end (the posts keep their order, but a
    // cancelled download may still have one queued) changes nothing.
    if (IsWindowEnabled(Item(IDC_CLOSE)))
        return;
    char text[32];
    snprintf(text, sizeof text, "%u%% Complete...", (unsigned)percent);
    SetMessage(text);
    SendMessageA(Item(IDC_PROGRESS), PBM_SETPOS, (WPARAM)percent, 0);
}

void FinishDownload(int verdict, DWORD detail)
{
    CloseExchange();
    ScopedFile file;
    if (verdict == kInstallerOk) {
        file.reset(CreateFileA(g_app.installerFile, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
        if (!IsWindowsProgram(file.get()))
            verdict = kInstallerNotProgram;
        else if (!SignedByPublisher(file.get(), g_app.installerFile))
            verdict = kInstallerNotSigned;
    }
    if (verdict != kInstallerOk) {
        file.reset();
        DeleteFileA(g_app.installerFile);
        ExplainFailure(verdict, detail);
        EnableWindow(Item(IDC_UPGRADE_NOW), TRUE); // the user may try again
    } else {
        char arguments[MAX_PATH + 8];
        snprintf(arguments, sizeof arguments, "/S /D=%s", g_app.programFolder);
        ShellExecuteA(NULL, "open", g_app.installerFile, arguments, NULL, SW_SHOWNORMAL);
    }
    EnableWindow(Item(IDC_CLOSE), TRUE); // last: the download is over
}

void CancelDownload()
{
    Download &d = D();
    LockFromWindow();
    bool partial = d.running;
    d.cancelled = true;
    d.running = false;
    LeaveCriticalSection(&d.lock);
    CloseExchange();
    EnterCriticalSection(&d.lock);
    if (d.file != INVALID_HANDLE_VALUE) {
        CloseHandle(d.file);
        d.file = INVALID_HANDLE_VALUE;
    }
    LeaveCriticalSection(&d.lock);
    if (partial)
        DeleteFileA(g_app.installerFile); // never leave a cut-off installer behind
}

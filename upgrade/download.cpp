// The installer download: an asynchronous exchange (http_async.h) whose
// receiver saves the body as setup.exe in the download's own folder and posts its
// progress, then the checks that decide whether the saved file may run with
// administrator rights. From its creation until the window lets it go the
// file is held open so that others may only read it.
#include "download.h"
#include "upgrade_messages.h"

#include "error_text.h"
#include "publisher_check.h"

#include "tallib.h"
#include "text_format.h"
#include "talvex_settings.h"

#include <string.h>

#include <utility>

namespace {

const char kStartAdvice[] = " failed.  Check your Internet connection, and try again.";
const char kInstallerPath[] = "/windows/TalUpSetup.exe";
// The first bytes of the file hold a program's headers and section table.
const DWORD kHeadBytes = 4096;
// When the program ends during a download, WinHTTP is given this long to
// give the request up (Windows does at once, Wine when a time-out ends).
const DWORD kCancelWaitMs = 500;

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
    // The file will run with administrator rights. It is saved in a folder
    // made for this download that only the user, Administrators and SYSTEM
    // may write (download_folder.h), as a new file of our own: a file
    // someone else left under the name (and may still hold, or own) is
    // never written into.
    DeleteFileA(installerFile);
    // Others may read the file while it arrives, but nobody else writes,
    // renames or deletes it.
    file.reset(CreateFileA(installerFile, GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, NULL, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, NULL));
    if (file)
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
    if (status != HTTP_STATUS_OK) {
        verdict = kInstallerBadStatus; // an error page is never saved as the installer
        return false;
    }
    unsigned long long announced = 0;
    total = AnnouncedLength(request, &announced) ? announced : 0;
    return true;
}

bool Download::OnBody(const char *bytes, DWORD length)
{
    received += length;
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes, length, &written, NULL) || written != length)
        saved = false;
    int percent = DownloadPercent(received, total);
    if (percent >= 0)
        PostMessageA(window, kMsgDownloadProgress, (WPARAM)percent, 0);
    return true;
}

// The exchange is over, one way or the other. The window thread takes it
// from here (it alone starts programs and shows results); a download
// stopped because the program ends tells it nothing. The file stays open
// (CheckDownload takes it over), except when the program ends.
void Download::OnEnd(HttpStep step, DWORD error, bool)
{
    if (file && !FlushFileBuffers(file.get()))
        saved = false;
    if (step == HttpStopped && error == ERROR_WINHTTP_OPERATION_CANCELLED) {
        file.reset();
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
const DWORD kHeldByOthersWaitMs = 2000;

ScopedFile HoldForReading(ScopedFile written, const char *path)
{
    ScopedFile bridge(
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL));
    if (!bridge || !SameFile(written.get(), bridge.get()))
        return ScopedFile();
    written.reset();
    // In the moment between the two, another program (a virus scanner
    // looking at a new program, or any program of the user's) may have
    // opened the file, for writing too: it is waited for a while, and what
    // it may have changed is seen by the checks that read through `held`.
    ScopedFile held;
    for (DWORD start = GetTickCount();;) {
        held.reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
        if (held || GetLastError() != ERROR_SHARING_VIOLATION || GetTickCount() - start >= kHeldByOthersWaitMs)
            break;
        Sleep(20);
    }
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

// The installer's product version from its version resource, read by the
// name of the held file (which nobody can rename or change meanwhile);
// empty when it carries none.
std::string InstallerVersion(const char *path)
{
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(path, &ignored);
    std::string info(size, '\0');
    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    bool present = size > 0 && GetFileVersionInfoA(path, 0, size, &info[0]) &&
                   VerQueryValueA(&info[0], "\\", (void **)&fixed, &length) && fixed && length >= sizeof *fixed;
    return FixedVersionText(present, present ? fixed->dwProductVersionMS : 0, present ? fixed->dwProductVersionLS : 0);
}

// The publisher check; a check this computer could not make with
// revocation is logged.
bool SignedAndLogged(HANDLE file, const char *path)
{
    unsigned long unanswered = 0;
    bool signedByPublisher = SignedByPublisher(file, path, &unanswered);
    if (unanswered) {
        char record[160];
        FormatText(record, sizeof record,
                   "The installer's signature was checked without revocation: this computer could not learn it "
                   "(0x%08lX).",
                   unanswered);
        LogToFile(record, LOG_NEW_RECORD, LOG_WARNING);
    }
    return signedByPublisher;
}

} // namespace

HttpStep StartDownload(Download &d, HINTERNET session, HWND window, const char *installerFile, DWORD *error)
{
    // No exchange runs now, so the receiver's fields are this thread's.
    d.window = window;
    d.installerFile = installerFile;
    d.file.reset();
    d.saved = true;
    d.status = 0;
    d.total = 0;
    d.received = 0;
    d.verdict = kInstallerOk;
    d.detail = 0;
    if (!session) {
        *error = ERROR_INVALID_HANDLE;
        return HttpOpenFailed;
    }
    return d.exchange.Start(session, InstallerSource(), d, false, error);
}

std::string DownloadStartFailure(HttpStep step)
{
    const char *call = HttpStepCall(step);
    return std::string(call ? call : HttpStepCall(HttpOpenFailed)) + kStartAdvice;
}

InstallerVerdict CheckDownload(Download &d, InstallerVerdict verdict, DWORD *detail, ScopedFile &held)
{
    ScopedFile file(std::move(d.file));
    d.version.clear();
    if (verdict == kInstallerOk) {
        file = HoldForReading(std::move(file), d.installerFile);
        if (!file) {
            verdict = kInstallerNotSaved;
            *detail = GetLastError();
        } else if (!IsWindowsProgram(file.get())) {
            verdict = kInstallerNotProgram;
        } else if (!SignedAndLogged(file.get(), d.installerFile)) {
            verdict = kInstallerNotSigned;
        } else {
            // Never a downgrade, nor the same release again: a server that
            // offers an older signed installer (one with a fault fixed
            // since) is refused.
            d.version = InstallerVersion(d.installerFile);
            std::string installed = TALVEX_VERSION;
            if (d.version.empty() || !IsNewerThan(d.version.c_str(), (int)d.version.size(), installed.c_str(),
                                                  (int)installed.size()))
                verdict = kInstallerNotNewer;
        }
    }
    if (verdict == kInstallerOk) {
        held = std::move(file);
    } else {
        file.reset();
        DeleteFileA(d.installerFile);
    }
    return verdict;
}

std::string DownloadFailureText(const Download &d, InstallerVerdict verdict, DWORD detail)
{
    if (verdict == kInstallerNotNewer)
        return VerdictText(verdict, detail, d.version.c_str(), d.received, d.total);
    return VerdictText(verdict, detail, DescribeError(detail).c_str(), d.received, d.total);
}

bool CancelDownload(Download &d)
{
    // The receiver closes the file when the exchange is stopped.
    if (d.exchange.Cancel(kCancelWaitMs))
        DeleteFileA(d.installerFile); // never leave a cut-off installer behind
    return d.exchange.Closed();
}

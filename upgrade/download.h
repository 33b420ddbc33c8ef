// The installer download: the exchange that saves the installer, and the
// checks of the saved file. It changes no control; the window that started
// it hears of it through two messages (upgrade_messages.h) and decides what
// to show.
#pragma once

#include "http_async.h"
#include "installer_check.h"
#include "scoped.h"

#include <windows.h>

#include <stdint.h>

#include <string>

// The download's exchange and what its receiver keeps. The receiver's
// functions run on WinHTTP's threads, one at a time under the exchange's
// lock, which the window thread takes only for moments; they never touch
// the window: they post their progress and their end to it. The window
// thread sets the other fields (StartDownload) before an exchange starts
// and reads them after the end has reached it.
struct Download final : HttpReceiver {
    HttpAsync exchange;
    HWND window = NULL;       // posted to, never touched
    const char *installerFile = "";
    ScopedFile file;          // the saved file; CheckDownload takes it over
    bool saved = true;        // every write so far reached the file
    unsigned status = 0;      // HTTP status of the answer
    uint64_t total = 0;       // announced length, 0 when not announced
    uint64_t received = 0;
    int verdict = 0;          // why the receiver stopped the exchange (InstallerVerdict)
    DWORD detail = 0;         // and its error number
    std::string version;      // the checked installer's product version (CheckDownload)

    bool OnSent() override;
    bool OnHeaders(HINTERNET request) override;
    bool OnBody(const char *bytes, DWORD length) override;
    void OnEnd(HttpStep step, DWORD error, bool whole) override;
};

// Starts saving the installer as installerFile, reporting to window; the
// previous exchange must have ended. HttpOk, or the step that failed with
// *error set: nothing was started.
HttpStep StartDownload(Download &download, HINTERNET session, HWND window, const char *installerFile,
                       DWORD *error);

// The fixed text that names a step failing to start the download.
std::string DownloadStartFailure(HttpStep step);

// The exchange is over with the receiver's verdict: examines the saved file
// and gives the final verdict. kInstallerOk leaves the checked file in
// `held`, open for reading and shared for reading only, so that the file
// checked is the file that runs; any other verdict deletes the file and
// sets *detail when the examination found the fault.
InstallerVerdict CheckDownload(Download &download, InstallerVerdict verdict, DWORD *detail, ScopedFile &held);

// What the window says of a refused download.
std::string DownloadFailureText(const Download &download, InstallerVerdict verdict, DWORD detail);

// The program ends: stops a download in progress and removes its partial
// file. True when the download's state may go (WinHTTP gave its last
// request up); otherwise a late notification may still come for it.
bool CancelDownload(Download &download);

// The upgrade assistant's installer download: its state, kept in the
// window's state, and what the window does with it.
#pragma once

#include "http_exchange.h"

#include <windows.h>

#include <stdint.h>

struct UpgradeWindow;

// Posted by the download's receiver to the window when the exchange is
// over: wParam is the InstallerVerdict, lParam the detail (status or error
// number). WM_APP + 1 and + 2 come from outside (signals.h).
constexpr UINT kMsgDownloadDone = WM_APP + 3;
// Posted by the download's receiver: wParam the percentage received (the
// bar's range is 0 to 100 once a length is announced).
constexpr UINT kMsgDownloadProgress = WM_APP + 4;
// Posted from a wait on the started installer's process when it has ended.
// WM_APP + 5 is the version check's (upgrade_window.cpp).
constexpr UINT kMsgInstallerEnded = WM_APP + 6;

// The download's exchange and what its receiver keeps. The receiver's
// functions (download.cpp) run on WinHTTP's threads, one at a time under
// the exchange's lock, which the window thread takes only for moments; they
// never touch the window: they post their progress and their end to it.
// The window thread sets the other fields before it starts an exchange and
// reads them after the end has reached it.
struct Download final : HttpReceiver {
    HttpAsync exchange;
    HWND window = NULL;       // posted to, never touched
    const char *installerFile = "";
    HANDLE file = INVALID_HANDLE_VALUE; // the saved file; the window thread's after the end
    bool saved = true;        // every write so far reached the file
    unsigned status = 0;      // HTTP status of the answer
    uint64_t total = 0;       // announced length, 0 when not announced
    uint64_t received = 0;
    int verdict = 0;          // why the receiver stopped the exchange (InstallerVerdict)
    DWORD detail = 0;         // and its error number

    bool OnSent() override;
    bool OnHeaders(HINTERNET request) override;
    bool OnBody(const char *bytes, DWORD length) override;
    void OnEnd(HttpStep step, DWORD error, bool whole) override;
};

// Starts the download; a message box names a step that failed to start.
void StartDownload(UpgradeWindow &state);
// The receiver's progress, shown by the window thread.
void ShowDownloadProgress(UpgradeWindow &state, int percent);
// The exchange is over: check the file, start it or delete it and say why.
// A started installer's file stays held (others may only read it) until
// ReleaseInstaller.
void FinishDownload(UpgradeWindow &state, int verdict, DWORD detail);
// Lets the installer's file go: the installer says it is installing (it
// then holds its own file), it has ended, or the assistant ends.
void ReleaseInstaller(UpgradeWindow &state);
// The program ends: stop a download in progress and remove its partial
// file. True when the download's state may go (WinHTTP gave its last
// request up); otherwise a late notification may still come for it.
bool CancelDownload(UpgradeWindow &state);

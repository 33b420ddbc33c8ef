// The upgrade assistant's process-wide state and the functions its files
// share: the window and its controls, the layout scale, the paths, the
// WinHTTP session and the download.
#pragma once

#include "http_exchange.h"
#include "scoped.h"
#include "screen_scale.h"

#include <windows.h>
#include <winhttp.h>

#include <stdint.h>

constexpr char kUpgradeCaption[] = "Talvex Upgrade Assistant";
constexpr char kInstallerFileName[] = "setup.exe";
// Posted by the download's callback to the window when the exchange is over:
// wParam is the InstallerVerdict, lParam the detail (status or error number).
constexpr UINT kMsgDownloadDone = WM_APP + 3;
// Posted by the download's callback: wParam the percentage received (the
// bar's range is 0 to 100 once a length is announced).
constexpr UINT kMsgDownloadProgress = WM_APP + 4;
// Posted by the version check's worker: lParam its result (a VersionCheck
// of upgrade_window.cpp), which the window thread shows and frees.
constexpr UINT kMsgVersionChecked = WM_APP + 5;

// A header picture rendered once into a memory bitmap.
struct HeaderPicture {
    int id;
    int width;
    int height;
    void *picture; // IPicture, loaded at start
    ScopedGdi bitmap;
};

// The installer download: its exchange and what the exchange's receiver
// keeps. The receiver's functions (download.cpp) run on WinHTTP's threads,
// one at a time under the exchange's lock, which the window thread takes
// only for moments; they never touch the window: they post their progress
// and their end to it.
struct Download final : HttpReceiver {
    HttpAsync exchange;
    HWND window = NULL;       // posted to, never touched
    const char *installerFile = "";
    HANDLE file = INVALID_HANDLE_VALUE;
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

struct UpgradeApp {
    HINSTANCE instance = NULL;
    HWND window = NULL;
    ScreenScale scale;   // the screen's dots per inch
    HFONT guiFont = NULL;
    ScopedGdi boldFont;
    HINTERNET session = NULL; // asynchronous root handle, open for the whole run (OpenHttpSession)
    DWORD sessionError = 0;   // why the session could not be opened
    char installerFile[MAX_PATH] = "";
    char programFolder[MAX_PATH] = "";
    char configFile[MAX_PATH] = "";
    HeaderPicture pictures[3] = {{110, 180, 54, NULL, {}}, {109, 1, 77, NULL, {}}, {108, 190, 14, NULL, {}}};
    Download download;
};

extern UpgradeApp g_app;

inline int ScaleX(int v) { return ScaleBy(v, g_app.scale.dpiX); }
inline int ScaleY(int v) { return ScaleBy(v, g_app.scale.dpiY); }

// upgrade_window.cpp
LRESULT CALLBACK UpgradeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void CreateControls(HWND window);
// Starts a version check on a worker; the window shows its "checking"
// state at once and the outcome when kMsgVersionChecked arrives.
void RunVersionCheck();
void OnVersionChecked(LPARAM result);
void SetHeading(const char *text);
void SetMessage(const char *text);

// header_art.cpp
void LoadHeaderPictures();
void PaintHeader(HWND window, HDC dc, const RECT &area);
void FreeHeaderPictures();

// download.cpp
// Starts the download; a message box names a step that failed to start.
void StartDownload();
// The exchange is over: check the file, start it or delete it and say why.
void FinishDownload(int verdict, DWORD detail);
// The callback's progress, shown by the window thread.
void ShowDownloadProgress(int percent);
// The program ends: stop a download in progress and remove its partial file.
void CancelDownload();

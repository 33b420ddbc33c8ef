// The upgrade assistant's window: the state of one assistant, reached
// through its window, and what the program's entry and the download call.
#pragma once

#include "download.h"
#include "header_art.h"
#include "scoped.h"
#include "screen_scale.h"

#include <windows.h>
#include <winhttp.h>

// The window's caption, and the caption of the assistant's message boxes.
constexpr char kUpgradeCaption[] = "Talvex Upgrade Assistant";

// Everything of one assistant. The program's entry creates it and hands it
// to the window through CreateWindowEx's last argument; the window thread
// alone touches it, except the download's receiver side (download.h).
struct UpgradeWindow {
    HINSTANCE instance = NULL;
    HWND window = NULL;
    ScreenScale scale;        // the screen's dots per inch
    HFONT guiFont = NULL;
    ScopedGdi boldFont;
    HINTERNET session = NULL; // asynchronous root handle, open for the whole run (OpenHttpSession)
    DWORD sessionError = 0;   // why the session could not be opened
    char installerFile[MAX_PATH] = "";
    char programFolder[MAX_PATH] = "";
    char configFile[MAX_PATH] = "";
    HeaderArt art;
    Download download;
    ScopedFile heldInstaller;        // the checked installer, held while it starts (download.h)
    ScopedHandle installerProcess;   // the started installer
    HANDLE installerWait = NULL;     // the wait for its end
    bool checking = false;    // a version check runs; one at a time
};

inline int ScaleX(const UpgradeWindow &state, int v) { return ScaleBy(v, state.scale.dpiX); }
inline int ScaleY(const UpgradeWindow &state, int v) { return ScaleBy(v, state.scale.dpiY); }

// The window procedure; the window's creation parameter is its UpgradeWindow.
LRESULT CALLBACK UpgradeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Starts a version check on a worker; the window shows its "checking"
// state at once and the outcome when the worker's result arrives.
void RunVersionCheck(UpgradeWindow &state);
void SetHeading(UpgradeWindow &state, const char *text);
void SetMessage(UpgradeWindow &state, const char *text);

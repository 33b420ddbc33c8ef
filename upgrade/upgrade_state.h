// Everything of one upgrade assistant. The program's entry creates it and
// hands it to the window through CreateWindowEx's last argument; the window
// thread alone touches it, except the download's receiver side (download.h).
#pragma once

#include "download.h"
#include "download_folder.h"
#include "header_art.h"
#include "scoped.h"
#include "screen_scale.h"

#include <windows.h>

#include <vector>

// The window's caption, and the caption of the assistant's message boxes.
constexpr char kUpgradeCaption[] = "Talvex Upgrade Assistant";

// A control of the table, and what it added to the size it was asked for
// when made (an etched line makes itself two pixels high).
struct MadeControl {
    HWND window;
    SIZE grown;
};

struct UpgradeWindow {
    HINSTANCE instance = NULL;
    HWND window = NULL;
    ScreenScale scale;        // the screen's dots per inch
    HFONT guiFont = NULL;     // the stock GUI font, or scaledGuiFont
    ScopedGdi scaledGuiFont;  // the GUI font made for another scale than the screen's, or none
    ScopedGdi boldFont;
    std::vector<MadeControl> controls; // as the control table lists them
    ScopedInternet session;   // asynchronous root handle, open for the whole run (OpenHttpSession)
    DWORD sessionError = 0;   // why the session could not be opened
    DownloadFolder downloadFolder; // where this download saves setup.exe (download_folder.h)
    char programFolder[MAX_PATH] = "";
    char configFile[MAX_PATH] = "";
    HeaderArt art;
    Download download;
    bool downloading = false; // from "Upgrade Now" until the download's end reaches the window
    bool checking = false;    // a version check runs; one at a time
    ScopedFile heldInstaller;        // the checked installer, held while it starts (download.h)
    ScopedHandle installerProcess;   // the started installer
    ScopedWait installerWait;        // the wait for its end
    bool endWhenInstallerEnds = false; // "restarting" came while the installer ran
};

inline int ScaleX(const UpgradeWindow &state, int v) { return ScaleBy(v, state.scale.dpiX); }
inline int ScaleY(const UpgradeWindow &state, int v) { return ScaleBy(v, state.scale.dpiY); }

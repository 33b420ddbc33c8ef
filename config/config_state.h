// The state of TalUpConfig's main window: the account and settings it
// edits, its pages, its pictures and fonts, and what its refreshes are
// doing. WinMain owns it and hands it to the window at creation; every
// handler reaches it through the window (AppOf) and it is only ever used
// on the window's thread: workers get copies and post results back.
#pragma once

#include "config_keys.h"
#include "screen_scale.h"
#include "tal_controls.h"

#include <windows.h>

constexpr char kCaption[] = "Talvex Updater";

enum PageIndex { kPageHome = 0, kPageAdvanced, kPageLogs, kPageHelp, kPageCount };

// Index into ConfigApp::pictures; resource ids 130..137 in this order.
enum PictureIndex {
    kPicLogo = 0, kPicHelp, kPicStrip, kPicWarning, kPicCritical, kPicDisabled, kPicGood, kPicWelcome,
    kPictureCount
};

// An address refresh is over: lParam its result (refresh.cpp), which the
// window thread applies and frees.
constexpr UINT kMsgShowAddress = WM_APP + 10;
// A host list refresh is over: lParam its result, applied and freed likewise.
constexpr UINT kMsgHostRefreshDone = WM_APP + 11;

struct ConfigApp {
    HINSTANCE instance = NULL;
    HWND window = NULL;
    HWND pages[kPageCount] = {};
    char configPath[MAX_PATH] = "";
    char logPath[MAX_PATH] = "";

    // Account and settings (LoadSettings / SaveSettings).
    char userName[64] = "";
    char password[256] = "";
    char lastUpdate[32] = "Never";
    char *selectedHosts = NULL;     // "a,b,c"; grows with the saved selection
    char currentAddress[64] = "";
    char detectedAddress[64] = "";
    int loadIcon = 0;
    int startWithOS = 1;
    int sync = 1;
    int notify = 1;
    int upgrade = 1;

    int status = kStatusUnconfigured; // what the panel shows
    int lastRunning = 0;              // the updater's activity last shown
    ScreenScale scale;                // the screen's dots per inch
    HFONT panelFont = NULL;
    HFONT hintFont = NULL;
    Image pictures[kPictureCount];

    // One refresh of each kind at a time: after the progress window's
    // Cancel the window is usable while the first refresh still runs, and
    // a second download would interleave its rows with the first's.
    bool hostWorker = false;
    bool addressWorker = false;
    bool refreshing = false;    // host rows are arriving
    bool givingBack = false;    // rows come back from the saved selection: no change to save
    HANDLE tellThread = NULL;   // the last TellServer sent in the background
};

// The state of the main window that window belongs to: the main window
// itself or one of its pages or their controls.
ConfigApp &AppOf(HWND window);

inline int ScaleX(const ConfigApp &app, int v) { return ScaleBy(v, app.scale.dpiX); }
inline int ScaleY(const ConfigApp &app, int v) { return ScaleBy(v, app.scale.dpiY); }

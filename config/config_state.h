// The state of TalUpConfig's main window: the settings it edits, which it
// hands its pages, and its own pages, pictures and fonts. WinMain owns it
// and hands it to the window at creation; the window's procedure reaches
// it through the window, and it is only ever used on the window's thread:
// workers get copies and post results back.
#pragma once

#include "config_keys.h"
#include "picture.h"
#include "scoped.h"
#include "screen_scale.h"

#include <windows.h>

#include <string>

constexpr char kCaption[] = "Talvex Updater";

enum PageIndex { kPageHome = 0, kPageAdvanced, kPageLogs, kPageHelp, kPageCount };

// Index into ConfigApp::pictures; resource ids 130..137 in this order.
enum PictureIndex {
    kPicLogo = 0, kPicHelp, kPicStrip, kPicWarning, kPicCritical, kPicDisabled, kPicGood, kPicWelcome,
    kPictureCount
};

// The five options of the Advanced page: 1 on, 0 off.
struct ConfigOptions {
    int loadIcon = 0;
    int startWithOS = 1;
    int sync = 1;
    int notify = 1;
    int upgrade = 1;
};

// The account and settings as the configuration file holds them
// (LoadSettings / SaveSettings): all a page is given of the utility's state.
struct ConfigSettings : ConfigOptions {
    char configPath[MAX_PATH] = "";
    char logPath[MAX_PATH] = "";
    char userName[64] = "";
    char password[256] = "";
    char lastUpdate[32] = "Never";
    std::string selectedHosts;      // "a,b,c", as the host table holds it
    char currentAddress[64] = "";
    char detectedAddress[64] = "";
};

// The main window's state: the settings (which its pages are given) and
// what only the frame uses.
struct ConfigApp : ConfigSettings {
    HINSTANCE instance = NULL;
    HWND window = NULL;
    HWND pages[kPageCount] = {};
    int status = kStatusUnconfigured; // what the panel shows
    int lastRunning = 0;              // the updater's activity last shown
    ScreenScale scale;                // the screen's dots per inch
    ScopedGdi panelFont;
    ScopedGdi hintFont;
    ScopedGdi buttonFont;             // the GUI font at a scale other than the screen's, or none
    Image pictures[kPictureCount];
    ScopedHandle tellThread;          // the last TellServer sent in the background
};

inline int ScaleX(const ConfigApp &app, int v) { return ScaleX(app.scale, v); }
inline int ScaleY(const ConfigApp &app, int v) { return ScaleY(app.scale, v); }

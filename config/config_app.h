// TalUpConfig's process-wide state and the functions its files share.
// The main thread owns the state; the refresh threads and the pipe listener
// touch only the parts their files name, and the window only by messages or
// by enabling and writing into Home page controls.
#pragma once

#include "config_keys.h"
#include "screen_scale.h"
#include "tal_controls.h"

#include <windows.h>

#include <stddef.h>

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

    int status = kStatusUnconfigured;    // what the panel shows
    volatile LONG refreshing = 0;   // a host list is arriving
    int lastRunning = 0;
    ScreenScale scale;              // the screen's dots per inch
    HFONT panelFont = NULL;
    HFONT hintFont = NULL;
    Image pictures[kPictureCount];
};

extern ConfigApp g_app;

inline int ScaleX(int v) { return ScaleBy(v, g_app.scale.dpiX); }
inline int ScaleY(int v) { return ScaleBy(v, g_app.scale.dpiY); }

// ---- The frame: main_window.cpp, status_panel.cpp --------------------------
void ShowPage(int index);
void ApplyStatus(int requested);
void CopyTextToClipboard(const char *text, size_t size);
void EnableApply();
// What every page does alike (white background, opaque statics, focus on
// hit-test); a page procedure calls it first and returns *result when true.
bool HandlePageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result);

// ---- settings.cpp ------------------------------------------------------------
void LoadSettings();
void SaveSettings();

// ---- config_pipe.cpp -----------------------------------------------------
bool StartConfigPipeListener();

// ---- The pages: one dialog procedure each, created by the frame ------------
INT_PTR CALLBACK HomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AdvancedPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LogsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK HelpPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// home_page.cpp, account_dialog.cpp, refresh.cpp
// Modal over owner; true when confirmed (user name and password updated).
bool RunAccountDialog(HWND owner);
void StartAddressRefresh();
void StartHostListRefresh();
// On the main thread, the refreshes' results (kMsgShowAddress, kMsgHostRefreshDone).
void OnAddressFound(LPARAM result);
void OnHostRefreshDone(LPARAM result);
// The host list messages GetHostList sends to the main window, handled
// there on the main thread.
void OnHostListBegin();
void OnHostListHost(const char *name, size_t length);
void OnHostListEnd();

// logs_page.cpp: fills a list with the log file.
void ReloadLog(HWND list);

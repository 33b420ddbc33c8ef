// TalTray's state: the icon as the shell knows it, the texts it shows, and
// the icon record and settings snapshot, owned by the window thread.
#pragma once

#include "scoped.h"

#include <windows.h>
#include <shellapi.h>

#include <stddef.h>

// ---- The icon as the shell knows it ---------------------------------------
constexpr UINT kTrayIconId = 2000;
constexpr char kTrayCaption[] = "Talvex Updater";
constexpr size_t kTipSize = sizeof(((NOTIFYICONDATAA *)0)->szTip);      // 128
constexpr size_t kBalloonSize = sizeof(((NOTIFYICONDATAA *)0)->szInfo); // 256

// Balloon icon kinds, as the shell numbers them.
constexpr DWORD kBalloonInfo = NIIF_INFO; // 1

constexpr char kNewVersionBalloon[] = "A new version is available.\nClick here to upgrade.";
constexpr char kHideQuestion[] = "The Talvex Updater Icon has been hidden.\n"
                                 "Would you like to disable the icon from loading when Windows starts?";
constexpr char kExitQuestion[] = "The Talvex Updater service will be unloaded.  IP address changes will not be "
                                 "monitored.\n\n Are you sure you'd like to completely exit the Talvex Updater?";

// Held for the life of the program: of instances started at the same
// moment (the Startup shortcut and the updater, at logon) only one goes on.
constexpr char kTrayInstanceMutex[] = "TalvexUpdaterTrayIcon";

// ---- Settings snapshot, re-read from [App] before each refresh -------------
struct TraySettings {
    char lastUpdate[64];
    char lastIp[64];
    int notify;
    int upgrade;
    int fresh;
};

// ---- Everything the window thread keeps -------------------------------------
struct TrayState {
    HINSTANCE instance = NULL;
    HWND window = NULL;
    ScopedIcon icon;   // group 106 at the small-icon size of the notification area's scale
    int iconSize = 0;  // that size, in pixels
    char configPath[MAX_PATH] = "";
    TraySettings settings = {};
    NOTIFYICONDATAA record = {};
    bool upgradePending = false; // the new-version balloon is the one on show
    bool pipeListening = false;  // the tray pipe's messages refresh the tooltip
    UINT taskbarCreated = 0;     // the shell's restart broadcast, registered once
    // A hidden top-level window beside the message-only one: it hears the
    // shell's "TaskbarCreated" broadcast (message-only windows get no
    // broadcasts) and owns the menu (it can take the foreground, which the
    // menu needs to close properly). None without a display.
    HWND shellWatch = NULL;
};

constexpr char kShellWatchClass[] = "TALVEX_TRAY_SHELL_WATCH";

// The hidden window that owns what the program shows (menu, questions) and
// what it starts: the top-level watch window where there is one.
inline HWND UiOwner(const TrayState &state) { return state.shellWatch ? state.shellWatch : state.window; }

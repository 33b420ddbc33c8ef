// What the frame's own files share: the status rule and its texts, the
// main window's handlers that live outside its window procedure, and the
// few handles the frame keeps besides ConfigApp.
#pragma once

#include "config_app.h"

#include <windows.h>

constexpr char kRegisterFailed[] =
    "Unable to register Window.  The Talvex Updater requires at least Windows NT to run.  Try closing some "
    "applications, and run the program again.";

// Held for the life of the program: a second copy started while the first
// is still creating its window finds this before it could find the window.
constexpr char kConfigInstanceMutex[] = "TalvexUpdaterConfiguration";

struct FrameState {
    HANDLE tellThread = NULL; // the last TellServer sent in the background
};
extern FrameState g_frame;

// ---- status_panel.cpp --------------------------------------------------------
// The status rule without any I/O: what ApplyStatus shows for a request.
// `active` and `stored` are asked for only when the rule needs them.
int DecideStatus(int requested, bool accountEmpty, int (*active)(), int (*stored)());
const char *StatusLabel(int code);
PictureIndex StatusPicture(int code);
void SetStatusLabel();                 // control 204 from the status code
void OnStatusClick();                  // command 203
void OnStatusChanged();                // WM_USER 139
void OnUpdaterActivity(int running);   // WM_APP+16

// ---- main_window.cpp ---------------------------------------------------------
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sends the updater a code from a short worker thread: the updater may take
// a whole pass to answer, and the window must never wait for it.
void TellServerInBackground(int code);

// The main window of TalUpConfig: its procedure, and what the start-up code
// asks of it (telling the updater in the background).
#pragma once

#include "config_state.h"

#include <windows.h>

constexpr char kRegisterFailed[] =
    "Unable to register Window.  The Talvex Updater requires at least Windows NT to run.  Try closing some "
    "applications, and run the program again.";

// Held for the life of the program: a second copy started while the first
// is still creating its window finds this before it could find the window.
constexpr char kConfigInstanceMutex[] = "TalvexUpdaterConfiguration";

// The main window's size at 96 dots per inch.
const int kMainWidth = 704, kMainHeight = 480;

// Created with the ConfigApp as its creation parameter.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sends the updater a code from a short worker thread: the updater may take
// a whole pass to answer, and the window must never wait for it. The
// newest such thread is kept in app.tellThread, for the end to wait on.
void TellServerInBackground(ConfigApp &app, int code);

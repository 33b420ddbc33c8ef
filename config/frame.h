// The main window of TalUpConfig: its procedure and what it offers the
// pages (showing a page, enabling Apply, the clipboard, the pages' common
// look) and the start-up code (telling the updater in the background).
#pragma once

#include "config_state.h"

#include <windows.h>

#include <stddef.h>

constexpr char kRegisterFailed[] =
    "Unable to register Window.  The Talvex Updater requires at least Windows NT to run.  Try closing some "
    "applications, and run the program again.";

// Held for the life of the program: a second copy started while the first
// is still creating its window finds this before it could find the window.
constexpr char kConfigInstanceMutex[] = "TalvexUpdaterConfiguration";

// Created with the ConfigApp as its creation parameter.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ShowPage(ConfigApp &app, int index);
void EnableApply(ConfigApp &app);
// The main window owns the clipboard while it copies.
void CopyTextToClipboard(ConfigApp &app, const char *text, size_t size);
// What every page does alike (white background, opaque statics, focus on
// hit-test); a page procedure calls it first and returns *result when true.
bool HandlePageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result);
// Sends the updater a code from a short worker thread: the updater may take
// a whole pass to answer, and the window must never wait for it.
void TellServerInBackground(ConfigApp &app, int code);

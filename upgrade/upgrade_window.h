// The upgrade assistant's window: its procedure, and the version check the
// program's entry runs when the window first shows.
#pragma once

#include "upgrade_state.h"

#include <windows.h>

// The window procedure; the window's creation parameter is its UpgradeWindow.
LRESULT CALLBACK UpgradeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Starts a version check on a worker; the window shows its "checking"
// state at once and the outcome when the worker's result arrives.
void RunVersionCheck(UpgradeWindow &state);
// Lets the started installer's file go and stops waiting for its end.
void ReleaseInstaller(UpgradeWindow &state);

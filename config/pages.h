// The four pages of the main window, each a dialog made from its template
// as a child of the main window, and the account dialog.
#pragma once

#include "config_state.h"

#include <windows.h>

INT_PTR CALLBACK HomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AdvancedPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LogsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK HelpPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Modal over app's window; true when confirmed (user name and password
// changed in app, saved later by OK or Apply).
bool RunAccountDialog(ConfigApp &app);

// Fills the Logs page's list with the log file: only what was added when
// the file only grew.
void ReloadLog(HWND list);

// The four pages of the main window and the account dialog: how the frame
// makes each page with what it needs, and what a page tells its frame.
// Pages know nothing of the frame but its window: they send it these
// messages and it acts on them.
#pragma once

#include "config_state.h"

#include <windows.h>

// A setting the page shows was changed: the frame offers Apply.
constexpr UINT kMsgPageChanged = WM_APP + 20;
// The frame shows page wParam (a PageIndex).
constexpr UINT kMsgShowPage = WM_APP + 21;
// The frame's panel shows status wParam, as the status rule decides.
constexpr UINT kMsgShowStatus = WM_APP + 22;

// Each page is a child dialog of frame, fitted to the page size at the
// screen's scale, and keeps what it is given: the Home page shows and
// changes the account and the saved selection; the Advanced page shows the
// options; the Logs page reads the log file and exports it with the
// configuration; the Help page paints picture.
HWND CreateHomePage(HWND frame, ScreenScale scale, ConfigSettings &settings);
HWND CreateAdvancedPage(HWND frame, ScreenScale scale, const ConfigSettings &settings);
HWND CreateLogsPage(HWND frame, ScreenScale scale, const ConfigSettings &settings);
HWND CreateHelpPage(HWND frame, ScreenScale scale, Image &picture);

// Modal over owner; true when confirmed (user name and password changed in
// settings, saved later by OK or Apply).
bool RunAccountDialog(HWND owner, ConfigSettings &settings);

// Fills the Logs page's list with the log file: only what was added when
// the file only grew.
void ReloadLog(HWND list);

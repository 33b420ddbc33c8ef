// The Logs page: the log file in a list, copied and exported.
#pragma once

#include "config_state.h"

#include <windows.h>

// A child dialog of frame, fitted to the page size at the screen's scale;
// it reads the log file of settings and exports it with the configuration.
HWND CreateLogsPage(HWND frame, ScreenScale scale, const ConfigSettings &settings);

// Fills the page's list with the log file: only what was added when the
// file only grew. Nothing when page is no Logs page.
void ReloadLogPage(HWND page);

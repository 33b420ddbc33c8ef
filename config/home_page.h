// The Home page: the account, the updater's state and the host list.
#pragma once

#include "config_state.h"

#include <windows.h>

// A child dialog of frame, fitted to the page size at the screen's scale;
// it shows and changes the account and the saved selection of settings.
HWND CreateHomePage(HWND frame, ScreenScale scale, ConfigSettings &settings);

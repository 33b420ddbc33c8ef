// The Advanced page: the five options and the version line.
#pragma once

#include "config_state.h"

#include <windows.h>

// A child dialog of frame, fitted to the page size at the screen's scale;
// it shows the options of settings as they are when it opens.
HWND CreateAdvancedPage(HWND frame, ScreenScale scale, const ConfigSettings &settings);

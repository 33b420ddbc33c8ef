// The Help page: the support links and the About text.
#pragma once

#include "config_state.h"

#include <windows.h>

// A child dialog of frame, fitted to the page size at the screen's scale;
// it paints picture (the frame's) beside the About text.
HWND CreateHelpPage(HWND frame, ScreenScale scale, Image &picture);

// The Advanced page: the five options and the version line.
#pragma once

#include "config_state.h"

#include <windows.h>

// A child dialog of frame, fitted to the page size at the screen's scale;
// it shows options as they are when it opens.
HWND CreateAdvancedPage(HWND frame, ScreenScale scale, const ConfigOptions &options);
// The options as the user checked them; NULL when page is no Advanced page
// (it could not be made).
const ConfigOptions *ChosenOptions(HWND page);
// The version check's answer: the upgrade link enabled, or the line that
// says the version is the latest.
void ShowUpgradeAvailable(HWND page, bool available);

// The upgrade assistant's controls: the table they are made from, and the
// few ways the window changes them.
#pragma once

#include "upgrade_state.h"

#include <windows.h>

// The texts of the "checking" state, which the window starts in.
constexpr char kTextChecking[] = "Checking...";
constexpr char kHeadingChecking[] = "Checking for latest version...";

// Makes the controls of the table in state.window, with their fonts, and
// widens the version labels where the font needs it.
void CreateControls(UpgradeWindow &state);
// The window is shown at a new scale: the controls of the table are laid
// out and given fonts as at that scale.
void RescaleControls(UpgradeWindow &state, const ScreenScale &scale);

void SetHeading(HWND window, const char *text);
void SetMessage(HWND window, const char *text);
// Shows or hides a control, and enables or disables it.
void ShowItem(HWND window, int id, bool shown, bool enabled);
// The progress bar's position, 0 to 100.
void SetProgress(HWND window, int percent);

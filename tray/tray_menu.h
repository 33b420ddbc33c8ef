// The icon's pop-up menu.
#pragma once

#include "tray_state.h"

// Loads menu 104's pop-up with the updater items set for `active`.
HMENU LoadTrayMenu(HINSTANCE instance, bool active);
// Shows the menu at the pointer; the chosen command is posted to the
// icon's window as WM_COMMAND.
void ShowTrayMenu(TrayState &state);

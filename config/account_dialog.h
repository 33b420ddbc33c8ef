// The account dialog: the user name and password.
#pragma once

#include "config_state.h"

#include <windows.h>

// Modal over owner; true when confirmed (user name and password changed in
// settings, saved later by OK or Apply).
bool RunAccountDialog(HWND owner, ConfigSettings &settings);

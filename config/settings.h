// The utility's settings in the configuration file, read and written
// through TalLib in a fixed order.
#pragma once

#include "config_state.h"

void LoadSettings(ConfigApp &app);
// Saves the account, the Home page's checked hosts and the Advanced page's
// options: ERROR_SUCCESS, or the Windows error that kept them from the file
// (TalLib then keeps them and writes them with the next save).
DWORD SaveSettings(ConfigApp &app);

// The utility's settings in the configuration file, read and written
// through TalLib in a fixed order.
#pragma once

#include "config_state.h"

void LoadSettings(ConfigApp &app);
// Saves the account, the Home page's checked hosts and the Advanced page's
// options.
void SaveSettings(ConfigApp &app);

// The utility's settings in the configuration file, read and written
// through TalLib in a fixed order.
#pragma once

#include "config_state.h"

#include <string>
#include <vector>

// What the pages hand up for a save: the hosts checked on the Home page, in
// row order, and the Advanced page's options. NULL where a page is missing
// (it could not be made): that part of the settings stays as it is.
struct PageChoices {
    const std::vector<std::string> *hosts;
    const ConfigOptions *options;
};

void LoadSettings(ConfigApp &app);
// Saves the account, the chosen hosts and the options: ERROR_SUCCESS, or
// the Windows error that kept them from the file (TalLib then keeps them
// and writes them with the next save).
DWORD SaveSettings(ConfigApp &app, const PageChoices &choices);

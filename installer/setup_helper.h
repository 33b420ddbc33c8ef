// TalSetupHelper: what the elevated installer and uninstaller cannot do
// safely in their own script. Built with the product and signed like it,
// carried inside the installer and the uninstaller, run from their own
// temporary folder, never installed.
#pragma once

#include <string>

// Makes the data folder under the common application-data folder `appData`
// (data_folder_setup.cpp). False, after a line that says why, when it
// could not be made.
bool MakeDataFolder(const std::string &appData);

// Waits until no process runs a program from `folder` (running_programs.cpp),
// at most `seconds`. False, after a line naming what still runs, when one
// is left.
bool WaitForProgramsGone(const std::string &folder, unsigned seconds);

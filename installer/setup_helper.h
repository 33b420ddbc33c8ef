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

// Starts a program with the signed-in user's own, unelevated rights: the
// desktop shell, which runs as that user, is asked to start it
// (desktop_shell_start.cpp). False, after a line that says why, when the
// shell could not be reached.
bool StartThroughDesktopShell(const std::string &program);

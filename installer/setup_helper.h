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

// Makes the program folder, or checks the one found and makes it safe
// (program_folder_setup.cpp). False, after a line that says why, when it
// is refused.
bool MakeProgramFolder(const std::string &folder);

// Waits until no process, in any session, runs a program from `folder`
// (running_programs.cpp), at most `seconds`. False, after a line naming
// what still runs (none when `quiet`), when one is left.
bool WaitForProgramsGone(const std::string &folder, unsigned seconds, bool quiet = false);

// The same wait, `graceSeconds` at most; then every program of the folder
// still running, in whichever session, is ended. False, after a line
// naming it, when one could not be ended.
bool EndProgramsOf(const std::string &folder, unsigned graceSeconds);

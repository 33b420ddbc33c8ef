// TalSetupHelper: what the elevated installer and uninstaller cannot do
// safely in their own script. Built with the product and signed like it,
// carried inside the installer and the uninstaller, run from their own
// temporary folder, never installed.
#pragma once

#include "scoped.h"

#include <windows.h>

#include <string>

// Rights that let a user change what a folder holds or how it is reached:
// add a file or folder, delete or rename one in it, delete or rename the
// folder, change its rights or owner.
constexpr ACCESS_MASK kFolderChangeRights =
    FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | FILE_WRITE_DATA;

// A folder as it is, opened on its own name (never what a link there leads
// to), with its owner and DACL (folder_look.cpp). Open() gives
// ERROR_SUCCESS, or the Windows error of the step that failed.
struct FolderLook {
    ScopedFile held;
    bool link = false;  // a junction or symbolic link in place of the folder
    PSID owner = NULL;  // owner and dacl point into the descriptor
    PACL dacl = NULL;
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    DWORD Open(const std::string &path);
};

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

// Whether the installer `installer` runs from a real folder of a trusted
// owner that only SYSTEM, Administrators and TrustedInstaller may change
// (own_copy_setup.cpp); with `ownCopy`, whether it is a copy in a folder
// of the form MakeCopyFolder gives (copy_folder.h) that passes the checks
// of FolderFault and UntrustedMay, and this helper, which the copy
// unpacked, lies in that folder too. True, silently, when it does; false,
// after a line that says why not.
bool RunsFromAdministratorsFolder(const std::string &installer, bool ownCopy);

// Copies the installer (or uninstaller) as `name`, read through one handle
// that lets nobody write it meanwhile, into a new folder of the system's
// temporary folder that only SYSTEM and Administrators may use, and checks
// the copy against the pinned publisher keys (copy_folder.h). True after
// the copy's path alone (no line end); false, after a line that says why,
// with nothing left behind.
bool MakeOwnCopy(const std::string &installer, const char *name);

// The same copy of the uninstaller `uninstaller`, made only when this
// helper was unpacked in the uninstaller's own folder (the program folder).
bool MakeUninstallerCopy(const std::string &uninstaller);

// Removes a copy of the installer, and its folder with all in it, once the
// copy has ended; a path that is not of such a copy is refused.
bool RemoveOwnCopy(const std::string &copy);

// Leaves a running copy's folder, with all in it, to be deleted when
// Windows next starts (what can go now goes); a path that is not of such a
// copy is refused.
bool RemoveCopyAtRestart(const std::string &copy);

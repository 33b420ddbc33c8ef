// The folder an elevated installer runs from when it was started from a
// folder its user may change: made new for each run under the system's
// temporary folder, only SYSTEM and Administrators may use it, the
// installer written into it and checked against the publisher's signature,
// removed once the installer has ended (copy_folder.cpp). The first stage
// (first_stage_main.cpp) and TalSetupHelper (own_copy_setup.cpp, for an
// installer run by itself) both use it.
#pragma once

#include <stddef.h>

#include <string>

// The installer's name in its folder.
constexpr char kCopyName[] = "setup.exe";
// The uninstaller's name in its folder: it runs from such a copy too, so
// that the program folder it removes holds nothing that runs
// (own_copy.nsh).
constexpr char kUninstallerCopyName[] = "Uninstall.exe";

// The folder part of a path; empty when there is none.
std::string FolderOf(const std::string &path);

// The system's temporary folder (C:\Windows\Temp), where users may add
// folders but not change one of Administrators'. False, with `why`, when
// it cannot be found or is no real folder of a trusted owner (FolderFault).
bool SystemTempFolder(std::string &temp, std::string &why);

// Makes `TalvexSetup.<process>.<ticks>` under the system's temporary
// folder with kInstallerCopySecurity; a folder of that name that exists
// already (made by anyone) is never used. False, with `why`, when it
// could not be made.
bool MakeCopyFolder(std::string &folder, std::string &why);

// Writes the `size` bytes at `bytes` as `name` in `folder`, through
// one handle that shares only reading, and checks through that handle
// that they are signed by the publisher (the pinned keys). `copy` is then
// its path. False, with `why`, when it could not be written or is not
// signed so (`origin` names the bytes there: "The installer C:\..."): the
// caller removes the folder.
bool WriteSignedCopy(const std::string &folder, const char *name, const void *bytes, size_t size,
                     const std::string &origin, std::string &copy, std::string &why);

// Whether `copy` names the installer or the uninstaller in a folder of
// MakeCopyFolder's form.
bool IsCopyPath(const std::string &copy);

// Deletes the folder and everything in it (nothing through a link); what
// is still running or not yet let go by the system is waited for, 10 s at
// most, then left to be deleted when Windows next starts. False, with
// `why`, when anything is left.
bool RemoveCopyFolder(const std::string &folder, std::string &why);

// For a copy that cannot wait for its own end (the uninstaller's, which
// still runs from the folder): deletes what it can of the folder now and
// leaves the rest, the folder last, to be deleted when Windows next
// starts. False, with `why`, when Windows refuses even that.
bool RemoveCopyFolderAtRestart(const std::string &folder, std::string &why);

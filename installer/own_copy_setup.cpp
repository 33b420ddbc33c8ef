// The installer's own copy when the installer runs by itself, without its
// first stage (setup_helper.h). An elevated installer started from a
// folder its user may change (the assistant's download folder, a user's
// Downloads) could have libraries planted beside it, or the file itself
// renamed and replaced once nothing holds it. It therefore runs only from
// a folder of Administrators': when it is not in one, it copies itself
// into a new folder only SYSTEM and Administrators may use, checked
// against the publisher's signature (copy_folder.h), runs the copy with
// its own command line and ends with the copy's exit code (own_copy.nsh).
// The uninstaller, started in place in the program folder, copies itself
// so too and leaves the rest to the copy, which may then remove the
// program folder; the copy's folder goes when Windows next starts.
#include "setup_helper.h"

#include "copy_folder.h"

#include "data_folder_check.h"
#include "error_text.h"
#include "scoped.h"

#include <windows.h>
#include <aclapi.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

bool Fail(const std::string &what) { return printf("%s\n", what.c_str()), false; }

std::string WindowsError(DWORD error) { return "Windows " + DescribeError(error); }

// Whether this helper, which the installer or uninstaller unpacks first,
// lies in `folder`, the one it runs from: a copy unpacks everything into
// $PLUGINSDIR under its TEMP, which its starter sets to the copy's folder;
// the uninstaller in place unpacks into a folder of the program folder.
// Anywhere else (the administrator's own %TEMP%) his unelevated programs
// could have replaced it, and what else is unpacked, before it runs.
bool HelperInFolder(const std::string &folder)
{
    char helper[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, helper, sizeof helper);
    if (length == 0 || length >= sizeof helper)
        return Fail("The helper cannot find its own file: " + WindowsError(GetLastError()));
    if (_strnicmp(helper, folder.c_str(), folder.size()) != 0 || helper[folder.size()] != '\\')
        return Fail(std::string("Its files are unpacked in ") + FolderOf(helper) + ", outside " + folder);
    return true;
}

} // namespace

bool RunsFromAdministratorsFolder(const std::string &installer, bool ownCopy)
{
    std::string folder = FolderOf(installer);
    if (folder.empty())
        return Fail(installer + " names no folder");
    if (ownCopy && !IsCopyPath(installer))
        return Fail(installer + " is no copy the installer made");
    // The folder itself, never what a link in its place leads to.
    FolderLook look;
    if (DWORD error = look.Open(folder))
        return Fail(folder + " cannot be opened or its rights read: " + WindowsError(error));
    if (look.link)
        return Fail(folder + " is a link");
    if (!OwnerIsTrusted(look.owner))
        return Fail(folder + " belongs to another account than Administrators'");
    // A folder is taken for the installer's own only when nobody but
    // SYSTEM, Administrators and TrustedInstaller may change it; a copy's
    // folder, made with only SYSTEM and Administrators in it, is checked
    // as the tree's other elevated code checks a folder (which also
    // trusts the owner of the system's folder).
    if (UntrustedMay(look.dacl, kFolderChangeRights, !ownCopy))
        return Fail(folder + " lets other accounts than Administrators change it");
    return !ownCopy || HelperInFolder(folder);
}

bool MakeOwnCopy(const std::string &installer, const char *name)
{
    // Read through one handle that shares only reading: while it is open
    // nobody writes, renames or replaces the file. The copy's signature,
    // checked as it is written, says whether what was read is ours.
    ScopedFile original(CreateFileA(installer.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    LARGE_INTEGER size = {};
    if (!original || !GetFileSizeEx(original.get(), &size))
        return Fail("The installer " + installer + " cannot be read: " + WindowsError(GetLastError()));
    ScopedHandle mapping(CreateFileMappingA(original.get(), NULL, PAGE_READONLY, 0, 0, NULL));
    ScopedView view(mapping ? MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0) : NULL);
    if (!view)
        return Fail("The installer " + installer + " cannot be read: " + WindowsError(GetLastError()));
    std::string folder, copy, why, left;
    if (!MakeCopyFolder(folder, why))
        return Fail(why);
    std::string origin = (strcmp(name, kCopyName) == 0 ? "The installer " : "The uninstaller ") + installer;
    if (!WriteSignedCopy(folder, name, view.get(), (size_t)size.QuadPart, origin, copy, why)) {
        if (!RemoveCopyFolder(folder, left))
            why += "\n" + left;
        return Fail(why);
    }
    // The path alone, with no line end: the installer runs what it names.
    printf("%s", copy.c_str());
    return true;
}

bool RemoveOwnCopy(const std::string &copy)
{
    // Nothing else is deleted by a name passed in.
    if (!IsCopyPath(copy))
        return Fail(copy + " is no copy of the installer");
    std::string why;
    return RemoveCopyFolder(FolderOf(copy), why) || Fail(why);
}

bool MakeUninstallerCopy(const std::string &uninstaller)
{
    // Only what was unpacked where the uninstaller runs, the program folder
    // that only Administrators may change, makes the copy.
    return HelperInFolder(FolderOf(uninstaller)) && MakeOwnCopy(uninstaller, kUninstallerCopyName);
}

bool RemoveCopyAtRestart(const std::string &copy)
{
    if (!IsCopyPath(copy))
        return Fail(copy + " is no copy of the uninstaller");
    std::string why;
    return RemoveCopyFolderAtRestart(FolderOf(copy), why) || Fail(why);
}

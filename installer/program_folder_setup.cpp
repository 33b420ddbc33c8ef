// The program folder (setup_helper.h). The installer makes it itself, owned
// by Administrators with rights of its own (kProgramFolderSecurity), so that
// a folder outside Program Files does not inherit the rights of the folder
// above it. A folder found in place:
// - a link (junction, symbolic link) or a folder of someone else's is
//   refused: the programs would be written where its maker chose;
// - so is one under a folder that users may delete, rename or
//   re-permission (C:\Tools, which inherits "Authenticated Users: Modify"
//   from C:\): the whole tree could be renamed away and another put in
//   its place; missing folders above it are made with its own rights;
// - a real folder of Administrators' (or SYSTEM's) that already lets no
//   user write is used as it is;
// - one that lets users write is made safe through the handle that checked
//   it, when nothing is in it but the suite's own files (an empty folder
//   made beforehand, or an older installation's): its rights are set, and
//   every file of the suite in it is given the folder's rights, owned by
//   Administrators; one that holds anything else is refused, as a user
//   may have put a library there that a program would load.
#include "setup_helper.h"

#include "data_folder_check.h"
#include "error_text.h"
#include "scoped.h"
#include "shared_objects.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

// What the installer puts in the folder: the programs and the uninstaller.
const char *const kSuiteFiles[] = {"TalLib.dll",   "TalUpPs.exe", "TalUpSvc.exe",   "TalUpControl.exe",
                                   "TalUpUp.exe",  "TalTray.exe", "TalUpConfig.exe", "Uninstall.exe"};

bool Fail(const std::string &what) { return printf("%s\n", what.c_str()), false; }

// One of the suite's files, or one set aside under its name with ".old"
// (FreeProgramFile) or ".moved-" (SecureSuiteFile): no program loads
// those.
bool IsSuiteFile(const char *name)
{
    for (const char *file : kSuiteFiles) {
        size_t n = strlen(file);
        if (_strnicmp(name, file, n) != 0)
            continue;
        const char *rest = name + n;
        if (!*rest || _stricmp(rest, ".old") == 0 || _strnicmp(rest, ".moved-", 7) == 0)
            return true;
    }
    return false;
}

// The first entry of the folder that is not one of the suite's files;
// empty when there is none.
std::string ForeignEntry(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return std::string();
    std::string foreign;
    do {
        if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
            continue;
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            !IsSuiteFile(found.cFileName))
            foreign = found.cFileName;
    } while (foreign.empty() && FindNextFileA(search, &found));
    FindClose(search);
    return foreign;
}

// The folder's rights and owner as the installer gives them.
struct FolderSecurity {
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    PSID owner = NULL;
    PACL dacl = NULL;
    bool Read()
    {
        BOOL present = FALSE, defaulted = FALSE;
        return ConvertStringSecurityDescriptorToSecurityDescriptorA(kProgramFolderSecurity, SDDL_REVISION_1,
                                                                    descriptor.out(), NULL) &&
               GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) &&
               GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) && present;
    }
};

// A file of the suite in a folder being made safe: owned by
// Administrators, the folder's rights inherited, set through a handle
// opened on the name itself (a link there is moved aside, never followed).
bool SecureSuiteFile(const std::string &path, PSID administrators)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    ScopedFile file(CreateFileA(path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, NULL));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file || !GetFileInformationByHandle(file.get(), &info))
        return Fail("Could not open " + path + ": Windows " + DescribeError(GetLastError()));
    if ((attributes | info.dwFileAttributes) & FILE_ATTRIBUTE_REPARSE_POINT || info.nNumberOfLinks != 1) {
        // Not the suite's own file: it goes aside, and the installation
        // writes a new one.
        file.reset();
        std::string moved = path + ".moved-" + std::to_string(GetTickCount64());
        if (!MoveFileExA(path.c_str(), moved.c_str(), 0))
            return Fail("Could not move " + path + " aside: Windows " + DescribeError(GetLastError()));
        printf("%s was a link or another file's second name; moved aside as %s\n", path.c_str(), moved.c_str());
        return true;
    }
    ACL empty;
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    DWORD error = SetSecurityInfo(file.get(), SE_FILE_OBJECT,
                                  OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                      UNPROTECTED_DACL_SECURITY_INFORMATION,
                                  administrators, NULL, &empty, NULL);
    return error == ERROR_SUCCESS || Fail("Could not set the rights of " + path + ": Windows " + DescribeError(error));
}

// Makes safe a real folder of a trusted owner that lets users write,
// through `held`, the handle that checked it.
bool MakeSafe(HANDLE held, const std::string &folder, FolderSecurity &security)
{
    auto refuse = [&](const std::string &foreign) {
        return Fail("The program folder " + folder + " lets users change it and holds " + foreign +
                    ", which the installation did not put there: choose a new folder, or an empty one");
    };
    std::string foreign = ForeignEntry(folder);
    if (!foreign.empty())
        return refuse(foreign);
    // The files first, so that the folder's rights, which Windows passes
    // on to what it holds, reach no file through a second name.
    for (const char *file : kSuiteFiles)
        if (!SecureSuiteFile(folder + "\\" + file, security.owner))
            return false;
    DWORD error = SetSecurityInfo(held, SE_FILE_OBJECT,
                                  OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                      PROTECTED_DACL_SECURITY_INFORMATION,
                                  security.owner, NULL, security.dacl, NULL);
    if (error != ERROR_SUCCESS)
        return Fail("The rights of the program folder " + folder + " could not be set: Windows " + DescribeError(error));
    // What a user added meanwhile stays his, in a folder now closed to him.
    foreign = ForeignEntry(folder);
    if (!foreign.empty())
        return refuse(foreign);
    printf("The program folder %s let users change it; it now has rights of its own\n", folder.c_str());
    return true;
}

// Creates the folders above the program folder that do not exist yet,
// with the program folder's own rights: a folder above it that users may
// rename could be renamed away and a tree of theirs put in its place.
bool MakeParents(const std::string &folder, SECURITY_ATTRIBUTES &made)
{
    size_t slash = folder.find_last_of('\\');
    if (slash == std::string::npos || slash < 3)
        return true;
    std::string parent = folder.substr(0, slash);
    if (GetFileAttributesA(parent.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    if (!MakeParents(parent, made))
        return false;
    return CreateDirectoryA(parent.c_str(), &made) || GetLastError() == ERROR_ALREADY_EXISTS ||
           Fail("Could not make " + parent + ": Windows " + DescribeError(GetLastError()));
}

// Rights on a folder above the program folder that would let a user put
// another tree in its place: delete, rename or re-permission the folder,
// or delete or rename what it holds (the next folder down, whatever that
// folder's own rights say).
constexpr ACCESS_MASK kAboveChangeRights = DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD;

// Every folder above the program folder, from the drive down: a real
// folder of a trusted owner that no other account may delete, rename or
// re-permission, nor empty of the next folder down. Checked once the
// missing ones are made, before anything is written.
bool CheckAbove(const std::string &folder)
{
    if (folder.size() < 4 || folder[1] != ':' || folder[2] != '\\')
        return Fail("The program folder " + folder + " is not on a drive of this computer: choose a folder such as "
                    "C:\\Program Files\\Talvex Updater");
    for (size_t slash = folder.find('\\'); slash != std::string::npos && slash < folder.size();
         slash = folder.find('\\', slash + 1)) {
        std::string above = folder.substr(0, slash);
        if (above.size() == 2 && above[1] == ':')
            above += '\\'; // the drive's root folder
        FolderLook look;
        if (DWORD error = look.Open(above))
            return Fail("The folder " + above + " above the program folder cannot be read: Windows " +
                        DescribeError(error));
        if (look.link)
            return Fail("The folder " + above + " above the program folder is a link to another place: choose a "
                        "real folder");
        if (!OwnerIsTrusted(look.owner) || UntrustedMayOnObject(look.dacl, kAboveChangeRights))
            return Fail("The folder " + above + " above the program folder lets other accounts than "
                        "Administrators rename, delete or re-permission it or what it holds: choose a folder under "
                        "one only administrators may change, such as C:\\Program Files");
    }
    return true;
}

} // namespace

bool MakeProgramFolder(const std::string &given)
{
    std::string folder = given;
    while (folder.size() > 3 && folder.back() == '\\')
        folder.pop_back();
    FolderSecurity security;
    if (!security.Read())
        return Fail("Could not read the program folder's rights: Windows " + DescribeError(GetLastError()));

    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        SECURITY_ATTRIBUTES made = {sizeof made, security.descriptor.get(), FALSE};
        if (!MakeParents(folder, made) || !CheckAbove(folder))
            return false;
        // A folder that appeared under the name meanwhile is not taken.
        return CreateDirectoryA(folder.c_str(), &made) ||
               Fail("Could not make the program folder " + folder + ": Windows " + DescribeError(GetLastError()));
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("The program folder " + folder + " is a file, not a folder");
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Fail("The program folder " + folder + " is a link to another place: choose a real folder");
    if (!CheckAbove(folder))
        return false;

    // Held without sharing deletion, so it is the folder checked that is
    // changed and written into.
    ScopedFile held(CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY | READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, NULL));
    PSID owner = NULL; // owner and list point into the descriptor
    PACL dacl = NULL;
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (!held || GetSecurityInfo(held.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                 &owner, NULL, &dacl, NULL, descriptor.out()) != ERROR_SUCCESS)
        return Fail("The program folder " + folder + " cannot be opened: Windows " + DescribeError(GetLastError()));
    if (!OwnerIsTrusted(owner))
        return Fail("The program folder " + folder +
                    " belongs to an account other than SYSTEM, Administrators or TrustedInstaller: choose another folder");
    if (!UntrustedMay(dacl, kFolderChangeRights))
        return true;
    return MakeSafe(held.get(), folder, security);
}

// The installer's data folder (setup_helper.h). Users may create folders
// under the common application-data folder, so the installer never trusts
// what it finds there: a folder that is a link or belongs to someone else
// is moved aside and made again, and rights are set through a handle on
// the real folder.
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

const char *const kKeptFiles[] = {"config.talvex", "talvex.log"};
// The configuration's rollback journal: made here so that it too belongs to
// Administrators and no user can delete it or plant a link in its name. A
// journal found in a folder moved aside is not taken: only the
// configuration it may have belonged to is.
const char kJournalFile[] = "config.talvex.journal";

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool Fail(const std::string &what, DWORD error)
{
    printf("%s: Windows %s\n", what.c_str(), DescribeError(error).c_str());
    return false;
}

// Renames a folder, or the link standing in its place (Windows moves a
// link itself, never what it leads to), out of the way; `moved` is its new
// name. A system that opens what a link leads to even when asked to open
// the link itself would move the wrong folder: there the link is refused
// and left for an administrator to remove (Wine does so for a symbolic
// link, which it also cannot rename or remove).
bool MoveAside(const std::string &path, std::string &moved)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    ScopedFile name(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, NULL));
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    bool linkItself = name && GetFileInformationByHandleEx(name.get(), FileAttributeTagInfo, &tag, sizeof tag) &&
                      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    name.reset();
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !linkItself)
        return Fail(path + " is a link that this system cannot move aside; remove it and install again",
                    ERROR_CANT_ACCESS_FILE);
    moved = path + ".moved-" + std::to_string(GetTickCount64());
    if (MoveFileExA(path.c_str(), moved.c_str(), 0))
        return true;
    return Fail("Could not move " + path + " aside", GetLastError());
}

// Sets owner and rights through a handle on the object at path that is no
// reparse point: `security` NULL resets the rights to what the folder
// above hands down.
bool Secure(const std::string &path, const char *security, bool folder)
{
    // A running updater may have the file open for a moment: wait for it
    // (5 s at most) rather than fail the installation.
    ScopedFile handle;
    for (int tries = 0; tries < 50; ++tries) {
        handle.reset(CreateFileA(path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : 0), NULL));
        if (handle || GetLastError() != ERROR_SHARING_VIOLATION)
            break;
        Sleep(100);
    }
    if (!handle)
        return Fail("Could not open " + path, GetLastError());
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (GetFileInformationByHandleEx(handle.get(), FileAttributeTagInfo, &tag, sizeof tag) &&
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return Fail(path + " is a link to another place", ERROR_ACCESS_DENIED);
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof administrators;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, NULL, administrators, &sidSize))
        return Fail("Could not name the Administrators group", GetLastError());
    PSECURITY_DESCRIPTOR descriptor = NULL;
    PACL dacl = NULL;
    ACL empty;
    SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (security) {
        BOOL present = FALSE, defaulted = FALSE;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(security, SDDL_REVISION_1, &descriptor, NULL) ||
            !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted))
            return Fail("Could not read the data folder's rights", GetLastError());
        what |= PROTECTED_DACL_SECURITY_INFORMATION;
    } else {
        InitializeAcl(&empty, sizeof empty, ACL_REVISION);
        dacl = &empty;
        what |= UNPROTECTED_DACL_SECURITY_INFORMATION;
    }
    DWORD error = SetSecurityInfo(handle.get(), SE_FILE_OBJECT, what, administrators, NULL, dacl, NULL);
    if (descriptor)
        LocalFree(descriptor);
    return error == ERROR_SUCCESS || Fail("Could not set the rights of " + path, error);
}

// A folder of the chain: made when missing, else checked; one that is not
// the real folder is moved aside (its name returned in `moved`) and made again.
bool MakeFolder(const std::string &path, std::string &moved)
{
    if (Exists(path)) {
        if (!FolderFault(path.c_str()))
            return true;
        if (!MoveAside(path, moved))
            return false;
    }
    if (CreateDirectoryA(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS)
        return FolderFault(path.c_str()) == NULL || Fail(path + ": " + FolderFault(path.c_str()), ERROR_ACCESS_DENIED);
    return Fail("Could not make " + path, GetLastError());
}

// The file at path opened with `access` when it is plain: one name, no
// link, no folder, so that its content is its own. Checked on the handle
// returned, so the name cannot be swapped between the check and the use.
ScopedFile OpenPlain(const std::string &path, DWORD access)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return ScopedFile();
    ScopedFile file(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, NULL));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file || !GetFileInformationByHandle(file.get(), &info) || info.nNumberOfLinks != 1 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return ScopedFile();
    return file;
}

// Copies the content of a plain file into a new file.
bool CopyPlain(const std::string &from, const std::string &to)
{
    ScopedFile in = OpenPlain(from, GENERIC_READ);
    if (!in)
        return true; // nothing plain to keep
    ScopedFile out(CreateFileA(to.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!out)
        return Fail("Could not make " + to, GetLastError());
    char chunk[65536];
    DWORD read = 0, written = 0;
    while (ReadFile(in.get(), chunk, sizeof chunk, &read, NULL) && read > 0) {
        if (!WriteFile(out.get(), chunk, read, &written, NULL) || written != read)
            return Fail("Could not write " + to, GetLastError());
    }
    return true;
}

// The configuration and the log: made when missing (owned by
// Administrators, so that no user can delete or re-permission them), an
// existing one given that owner and the folder's rights. One that is a
// link or has a second name is set aside and made anew, empty: what it
// holds may be another file's, which users must not be given to read.
bool MakeFile(const std::string &path)
{
    if (Exists(path)) {
        if (!OpenPlain(path, FILE_READ_ATTRIBUTES)) {
            std::string moved = path + ".moved-" + std::to_string(GetTickCount64());
            if (!MoveFileExA(path.c_str(), moved.c_str(), 0))
                return Fail("Could not move " + path + " aside", GetLastError());
        }
    }
    if (!Exists(path)) {
        ScopedFile made(CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL));
        if (!made)
            return Fail("Could not make " + path, GetLastError());
    }
    return Secure(path, NULL, false);
}

} // namespace

bool MakeDataFolder(const std::string &appData)
{
    std::string vendor = appData + "\\Talvex", data = vendor + "\\Updater";
    std::string movedVendor, movedData, keptFrom;
    if (!MakeFolder(vendor, movedVendor) || !Secure(vendor, kDataFolderSecurity, true))
        return false;
    if (!movedVendor.empty())
        keptFrom = movedVendor + "\\Updater";
    if (!MakeFolder(data, movedData) || !Secure(data, NULL, true))
        return false;
    if (!movedData.empty())
        keptFrom = movedData;
    for (const char *name : kKeptFiles) {
        std::string path = data + "\\" + name;
        if (!keptFrom.empty() && !Exists(path) && !CopyPlain(keptFrom + "\\" + name, path))
            return false;
        if (!MakeFile(path))
            return false;
    }
    if (!MakeFile(data + "\\" + kJournalFile))
        return false;
    if (!movedVendor.empty() || !movedData.empty())
        printf("moved aside %s\n", (movedVendor.empty() ? movedData : movedVendor).c_str());
    return true;
}

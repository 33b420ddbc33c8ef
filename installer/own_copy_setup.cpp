// The installer's own copy (setup_helper.h). An elevated installer started
// from a folder its user may change (the assistant's download folder, a
// user's Downloads) could have libraries planted beside it, or the file
// itself renamed and replaced once nothing holds it. It therefore runs
// only from a folder of Administrators': when it is not in one, it copies
// itself into a new folder only SYSTEM and Administrators may use, checks
// that the copy is signed by the publisher, runs the copy with its own
// command line and ends with the copy's exit code (talvex.nsi).
#include "setup_helper.h"

#include "data_folder_check.h"
#include "error_text.h"
#include "publisher_check.h"
#include "scoped.h"
#include "shared_objects.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const char kCopyFolderPrefix[] = "TalvexSetup.";
const char kCopyName[] = "setup.exe";

bool Fail(const std::string &what) { return printf("%s\n", what.c_str()), false; }

std::string WindowsError(DWORD error) { return "Windows " + DescribeError(error); }

// The system's temporary folder (C:\Windows\Temp), where users may add
// folders but not change one of Administrators'; empty, after a line
// that says why, when it is no real folder of a trusted owner.
std::string SystemTempFolder()
{
    char windows[MAX_PATH];
    UINT length = GetSystemWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows - 8)
        return Fail("The Windows folder cannot be found: " + WindowsError(GetLastError())), std::string();
    std::string temp = std::string(windows) + "\\Temp";
    if (const char *fault = FolderFault(temp.c_str()))
        return Fail(temp + ": " + fault), std::string();
    return temp;
}

// The folder part of a path; empty when there is none.
std::string FolderOf(const std::string &path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Copies everything `from` holds, from its start, into `to`.
bool CopyContent(HANDLE from, HANDLE to)
{
    static char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(from, buffer, sizeof buffer, &got, NULL))
            return false;
        if (got == 0)
            return FlushFileBuffers(to) != 0;
        if (!WriteFile(to, buffer, got, &put, NULL) || put != got)
            return false;
    }
}

// Deletes the copy and its folder; a copy still running (or not yet let
// go by the system) is waited for, 10 s at most.
bool RemoveCopyFolder(const std::string &folder)
{
    std::string copy = folder + "\\" + kCopyName;
    for (int tries = 0;; ++tries) {
        if ((DeleteFileA(copy.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) && RemoveDirectoryA(folder.c_str()))
            return true;
        DWORD error = GetLastError();
        if (tries == 100)
            return Fail("The installer's copy in " + folder + " could not be removed: " + WindowsError(error));
        Sleep(100);
    }
}

// Whether `copy` names a copy of the form MakeOwnCopy gives, in a folder
// of its own right under the system's temporary folder.
bool IsOwnCopyPath(const std::string &copy)
{
    std::string folder = FolderOf(copy);
    std::string temp = SystemTempFolder();
    size_t name = temp.size() + 1;
    return !temp.empty() && folder.size() > name + strlen(kCopyFolderPrefix) &&
           _strnicmp(folder.c_str(), temp.c_str(), temp.size()) == 0 && folder[temp.size()] == '\\' &&
           _strnicmp(folder.c_str() + name, kCopyFolderPrefix, strlen(kCopyFolderPrefix)) == 0 &&
           folder.find('\\', name) == std::string::npos && _stricmp(copy.c_str() + folder.size() + 1, kCopyName) == 0;
}

} // namespace

bool RunsFromAdministratorsFolder(const std::string &installer, bool ownCopy)
{
    std::string folder = FolderOf(installer);
    if (folder.empty())
        return Fail(installer + " names no folder");
    if (ownCopy && !IsOwnCopyPath(installer))
        return Fail(installer + " is no copy the installer made");
    // The folder itself, never what a link in its place leads to.
    ScopedFile held(CreateFileA(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, NULL));
    BY_HANDLE_FILE_INFORMATION info = {};
    PSID owner = NULL; // owner and list point into the descriptor
    PACL dacl = NULL;
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (!held || !GetFileInformationByHandle(held.get(), &info))
        return Fail(folder + " cannot be opened: " + WindowsError(GetLastError()));
    DWORD error = GetSecurityInfo(held.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, NULL, &dacl, NULL, descriptor.out());
    if (error != ERROR_SUCCESS)
        return Fail("The rights of " + folder + " cannot be read: " + WindowsError(error));
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Fail(folder + " is a link");
    if (!OwnerIsTrusted(owner))
        return Fail(folder + " belongs to another account than Administrators'");
    // A folder is taken for the installer's own only when nobody but
    // SYSTEM, Administrators and TrustedInstaller may change it; a copy's
    // folder, made with only SYSTEM and Administrators in it, is checked
    // as the tree's other elevated code checks a folder (which also
    // trusts the owner of the system's folder).
    if (UntrustedMay(dacl, kFolderChangeRights, !ownCopy))
        return Fail(folder + " lets other accounts than Administrators change it");
    return true;
}

bool MakeOwnCopy(const std::string &installer)
{
    // Read through one handle that shares only reading: while it is open
    // nobody writes, renames or replaces the file, and every byte copied
    // comes from the file opened. The copy's signature, checked below,
    // says whether that file is ours.
    ScopedFile original(CreateFileA(installer.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    if (!original)
        return Fail("The installer " + installer + " cannot be read: " + WindowsError(GetLastError()));
    std::string temp = SystemTempFolder();
    if (temp.empty())
        return false;

    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kInstallerCopySecurity, SDDL_REVISION_1,
                                                              descriptor.out(), NULL))
        return Fail("Could not read the rights of the installer's copy: " + WindowsError(GetLastError()));
    SECURITY_ATTRIBUTES made = {sizeof made, descriptor.get(), FALSE};
    // A new folder of a name of this run's own: one that exists already
    // (made by anyone) is never used.
    std::string folder = temp + "\\" + kCopyFolderPrefix + std::to_string(GetCurrentProcessId()) + "." +
                         std::to_string(GetTickCount64());
    if (!CreateDirectoryA(folder.c_str(), &made))
        return Fail("Could not make " + folder + ": " + WindowsError(GetLastError()));

    std::string copy = folder + "\\" + kCopyName;
    bool copied = false, signedCopy = false;
    unsigned long unanswered = 0; // checked then without revocation, as the assistant does; no log here
    {
        ScopedFile file(CreateFileA(copy.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, NULL));
        copied = file && CopyContent(original.get(), file.get());
        DWORD error = GetLastError();
        if (copied) {
            SetFilePointer(file.get(), 0, NULL, FILE_BEGIN);
            signedCopy = SignedByPublisher(file.get(), copy.c_str(), &unanswered);
        } else {
            Fail("Could not copy the installer to " + copy + ": " + WindowsError(error));
        }
    }
    if (copied && !signedCopy)
        Fail("The installer " + installer + " is not signed by the Talvex publisher");
    if (!signedCopy) {
        RemoveCopyFolder(folder);
        return false;
    }
    // The path alone, with no line end: the installer runs what it names.
    printf("%s", copy.c_str());
    return true;
}

bool RemoveOwnCopy(const std::string &copy)
{
    // Nothing else is deleted by a name passed in.
    if (!IsOwnCopyPath(copy))
        return Fail(copy + " is no copy of the installer");
    return RemoveCopyFolder(FolderOf(copy));
}

// The installer's copy folder: made new, written and checked, removed
// (copy_folder.h).
#include "copy_folder.h"

#include "data_folder_check.h"
#include "error_text.h"
#include "publisher_check.h"
#include "scoped.h"
#include "shared_objects.h"

#include <windows.h>
#include <sddl.h>

#include <string.h>

namespace {

const char kCopyFolderPrefix[] = "TalvexSetup.";
// How long an installer that has ended may keep its files (the system lets
// go of a program's image a moment after its end): 100 tries, 100 ms apart.
const int kRemoveTries = 100;
// The copy's folder holds the installer and what it unpacks; nothing deeper.
const int kDeepestFolder = 8;

bool Fail(std::string &why, const std::string &text) { return why = text, false; }

std::string WindowsError(DWORD error) { return "Windows " + DescribeError(error); }

// Deletes one file or empty folder; a name already gone is no error. With
// `atRestart`, what cannot be deleted now is left to Windows to delete
// when it next starts (`scheduled` turns false when it refuses even that).
DWORD DeleteOne(const std::string &path, bool folder, bool atRestart, bool &scheduled)
{
    if (folder ? RemoveDirectoryA(path.c_str()) : DeleteFileA(path.c_str()))
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return ERROR_SUCCESS;
    if (atRestart && !MoveFileExA(path.c_str(), NULL, MOVEFILE_DELAY_UNTIL_REBOOT))
        scheduled = false;
    return error;
}

// Deletes `folder` and all it holds, what it holds first. A link found in
// it (a junction, a symbolic link) is deleted itself, never what it leads
// to. The first error, or ERROR_SUCCESS.
DWORD DeleteTree(const std::string &folder, bool atRestart, bool &scheduled, int depth)
{
    DWORD first = ERROR_SUCCESS;
    WIN32_FIND_DATAA entry;
    ScopedFind search(FindFirstFileA((folder + "\\*").c_str(), &entry));
    for (bool more = (bool)search; more; more = FindNextFileA(search.get(), &entry) != 0) {
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0)
            continue;
        std::string path = folder + "\\" + entry.cFileName;
        bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        DWORD error = isFolder && !isLink && depth < kDeepestFolder ? DeleteTree(path, atRestart, scheduled, depth + 1)
                                                                    : DeleteOne(path, isFolder, atRestart, scheduled);
        if (first == ERROR_SUCCESS)
            first = error;
    }
    search.reset();
    DWORD error = DeleteOne(folder, true, atRestart, scheduled);
    return first != ERROR_SUCCESS ? first : error;
}

} // namespace

std::string FolderOf(const std::string &path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool SystemTempFolder(std::string &temp, std::string &why)
{
    char windows[MAX_PATH];
    UINT length = GetSystemWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows - 8)
        return Fail(why, "The Windows folder cannot be found: " + WindowsError(GetLastError()));
    temp = std::string(windows) + "\\Temp";
    if (const char *fault = FolderFault(temp.c_str()))
        return Fail(why, temp + ": " + fault);
    return true;
}

bool MakeCopyFolder(std::string &folder, std::string &why)
{
    std::string temp;
    if (!SystemTempFolder(temp, why))
        return false;
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kInstallerCopySecurity, SDDL_REVISION_1,
                                                              descriptor.out(), NULL))
        return Fail(why, "Could not read the rights of the installer's copy: " + WindowsError(GetLastError()));
    SECURITY_ATTRIBUTES made = {sizeof made, descriptor.get(), FALSE};
    // A name of this run's own: a folder that exists already is refused
    // by CreateDirectory, so one made by anyone else is never used.
    folder = temp + "\\" + kCopyFolderPrefix + std::to_string(GetCurrentProcessId()) + "." +
             std::to_string(GetTickCount64());
    if (!CreateDirectoryA(folder.c_str(), &made))
        return Fail(why, "Could not make " + folder + ": " + WindowsError(GetLastError()));
    return true;
}

bool WriteSignedCopy(const std::string &folder, const char *name, const void *bytes, size_t size,
                     const std::string &origin, std::string &copy, std::string &why)
{
    copy = folder + "\\" + name;
    // One handle that shares only reading, from the first byte written to
    // the end of the check: nobody writes, renames or replaces the file
    // meanwhile, so the bytes checked are the bytes written.
    ScopedFile file(CreateFileA(copy.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file)
        return Fail(why, "Could not make " + copy + ": " + WindowsError(GetLastError()));
    const char *next = static_cast<const char *>(bytes);
    for (size_t left = size; left > 0;) {
        DWORD chunk = left < (1u << 20) ? (DWORD)left : (1u << 20), put = 0;
        if (!WriteFile(file.get(), next, chunk, &put, NULL) || put != chunk)
            return Fail(why, "Could not write " + copy + ": " + WindowsError(GetLastError()));
        next += put;
        left -= put;
    }
    if (!FlushFileBuffers(file.get()) || SetFilePointer(file.get(), 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return Fail(why, "Could not write " + copy + ": " + WindowsError(GetLastError()));
    // A signature this computer could not check for revocation is checked
    // without it, as the assistant does; the installer has no log to say so.
    unsigned long unanswered = 0;
    if (!SignedByPublisher(file.get(), copy.c_str(), &unanswered))
        return Fail(why, origin + " is not signed by the Talvex publisher");
    return true;
}

bool IsCopyPath(const std::string &copy)
{
    std::string folder = FolderOf(copy), temp, why;
    if (!SystemTempFolder(temp, why))
        return false;
    size_t name = temp.size() + 1, prefix = strlen(kCopyFolderPrefix);
    return folder.size() > name + prefix && _strnicmp(folder.c_str(), temp.c_str(), temp.size()) == 0 &&
           folder[temp.size()] == '\\' && _strnicmp(folder.c_str() + name, kCopyFolderPrefix, prefix) == 0 &&
           folder.find('\\', name) == std::string::npos &&
           (_stricmp(copy.c_str() + folder.size() + 1, kCopyName) == 0 ||
            _stricmp(copy.c_str() + folder.size() + 1, kUninstallerCopyName) == 0);
}

bool RemoveCopyFolder(const std::string &folder, std::string &why)
{
    for (int tries = 1;; ++tries) {
        bool scheduled = true, last = tries == kRemoveTries;
        DWORD error = DeleteTree(folder, last, scheduled, 0);
        if (error == ERROR_SUCCESS)
            return true;
        if (last)
            return Fail(why, "The installer's folder " + folder + " could not be removed: " + WindowsError(error) +
                                 (scheduled ? "; Windows removes it when it next starts" : ""));
        Sleep(100);
    }
}

bool RemoveCopyFolderAtRestart(const std::string &folder, std::string &why)
{
    // Depth first, so that at the restart each folder is emptied before
    // its own deletion comes.
    bool scheduled = true;
    DWORD error = DeleteTree(folder, true, scheduled, 0);
    if (error == ERROR_SUCCESS || scheduled)
        return true;
    return Fail(why, "The folder " + folder + " could not be removed (" + WindowsError(error) +
                         "), nor left to be removed when Windows next starts");
}

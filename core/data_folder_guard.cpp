// The one guard before TalLib writes into the data folder: the folder and
// the vendor folder above it must be the real ones (data_folder_check.h),
// and a file written there is opened as itself: no link, one name.
// Users may write in the data folder, and the configuration utility and
// the installer write there with administrator rights: a junction planted
// in place of the folder would carry those writes wherever it points.
#include "internal.h"

#include "data_folder_check.h"
#include "text_format.h"

#include <stdio.h>
#include <string.h>

namespace {

// The path a handle's file really has, as the caller would write it: the
// "\\?\" prefix dropped ("\\?\UNC\" back to "\\"). Empty when unknown.
std::string FinalPathOf(HANDLE file)
{
    char path[MAX_PATH * 2] = "";
    DWORD length = GetFinalPathNameByHandleA(file, path, sizeof path, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= sizeof path)
        return std::string();
    if (strncmp(path, "\\\\?\\UNC\\", 8) == 0)
        return std::string("\\\\") + (path + 8);
    if (strncmp(path, "\\\\?\\", 4) == 0)
        return path + 4;
    return path;
}

} // namespace

std::string IntendedPath(const char *path)
{
    char full[MAX_PATH * 2] = "";
    char *name = NULL;
    DWORD length = GetFullPathNameA(path, sizeof full, full, &name);
    if (length == 0 || length >= sizeof full || !name)
        return std::string();
    std::string file = name;
    name[0] = '\0';
    char folder[MAX_PATH * 2] = "";
    length = GetLongPathNameA(full, folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        return std::string();
    std::string intended = folder;
    if (!intended.empty() && intended.back() != '\\')
        intended += '\\';
    return intended + file;
}

bool IsAt(HANDLE file, const std::string &intended)
{
    std::string final = FinalPathOf(file);
    return !final.empty() && !intended.empty() && _stricmp(final.c_str(), intended.c_str()) == 0;
}

bool MayWriteInDataFolder(const char *path)
{
    const char *folder = Paths().dataFolder;
    size_t length = strlen(folder);
    if (!path || length == 0 || _strnicmp(path, folder, length) != 0)
        return true; // not in the data folder
    const char *fault = DataFolderChainFault(folder);
    if (!fault)
        return true;
    // The log lies in the refused folder: the debugger's output says which
    // check failed, and the caller sees the refusal (a configuration writer
    // reports it in the Event Log).
    char why[MAX_PATH + 160];
    FormatText(why, sizeof why, "Talvex Updater: nothing is written in %s: %s.\n", folder, fault);
    OutputDebugStringA(why);
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

HANDLE OpenHeldFile(const char *path, DWORD access, DWORD share, DWORD disposition)
{
    DWORD start = GetTickCount();
    for (;;) {
        HANDLE file = CreateFileA(path, access, share, NULL, disposition,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
        DWORD error = GetLastError();
        if (file != INVALID_HANDLE_VALUE || (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            GetTickCount() - start >= kHeldFileWaitMs) {
            SetLastError(error);
            return file;
        }
        Sleep(kHeldFileRetryMs);
    }
}

DWORD OpenPlainDataFile(const char *path, DWORD access, DWORD share, DWORD disposition, ScopedFile &file)
{
    file.reset();
    if (!MayWriteInDataFolder(path))
        return ERROR_ACCESS_DENIED;
    // The name is looked at too: where the system opens what a link leads
    // to even when asked for the link itself, only the name shows the link.
    DWORD named = GetFileAttributesA(path);
    if (named != INVALID_FILE_ATTRIBUTES && (named & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return ERROR_ACCESS_DENIED;
    file.reset(OpenHeldFile(path, access, share, disposition));
    if (!file) {
        DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_OPEN_FAILED;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file.get(), &info)) {
        DWORD error = GetLastError();
        file.reset();
        return error != ERROR_SUCCESS ? error : ERROR_INVALID_HANDLE;
    }
    // The file opened must be the one named: where a link is not shown as
    // one (by its name or its handle), its final path still shows where it
    // led.
    if (info.nNumberOfLinks > 1 || (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        !IsAt(file.get(), IntendedPath(path))) {
        file.reset();
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

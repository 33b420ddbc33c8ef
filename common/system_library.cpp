// System DLLs from the system's own folder only (system_library.h).
#include "system_library.h"

#include <string.h>

void LoadLibrariesFromSystemOnly()
{
    // Windows 8 and later, and Windows 7 with its update KB2533623.
    using SetDefaultDirectories = BOOL(WINAPI *)(DWORD);
    auto setDefault = (SetDefaultDirectories)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                                    "SetDefaultDllDirectories");
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryA("");
}

HMODULE LoadSystemLibrary(const char *name)
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof path);
    size_t nameLength = strlen(name);
    if (length == 0 || length + 1 + nameLength >= sizeof path) {
        if (length != 0)
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return NULL;
    }
    path[length] = '\\';
    memcpy(path + length + 1, name, nameLength + 1);
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

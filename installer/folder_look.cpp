// A folder looked at as the elevated installer code checks one
// (setup_helper.h).
#include "setup_helper.h"

#include <aclapi.h>

DWORD FolderLook::Open(const std::string &path)
{
    held.reset(CreateFileA(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, NULL));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!held || !GetFileInformationByHandle(held.get(), &info)) {
        DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_OPEN_FAILED;
    }
    link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return GetSecurityInfo(held.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                           NULL, &dacl, NULL, descriptor.out());
}

// The download's own folder (download_folder.h).
#include "download_folder.h"
#include "text_format.h"

#include <sddl.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const char kFolderPrefix[] = "TalvexUpgrade-";
const char kInstallerName[] = "setup.exe";

// The user's own temporary folder, with its closing backslash.
bool TempFolder(char (&temp)[MAX_PATH])
{
    DWORD length = GetTempPathA(MAX_PATH, temp);
    return length > 0 && length < MAX_PATH - 64;
}

// This process's user as SDDL text.
std::string UserSid()
{
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out()))
        return "";
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD size = 0;
    ScopedLocal<char *> text;
    std::string sid;
    if (GetTokenInformation(token.get(), TokenUser, &info, sizeof info, &size) &&
        ConvertSidToStringSidA(info.user.User.Sid, text.out()))
        sid = text.get();
    return sid;
}

// The folder at path opened without following a reparse point and held
// without sharing deletion; empty when it is a link or no folder.
ScopedFile HoldOwnFolder(const char *path)
{
    ScopedFile folder(CreateFileA(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  NULL, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, NULL));
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    DWORD attributes = GetFileAttributesA(path);
    if (!folder || !GetFileInformationByHandleEx(folder.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
        ((tag.FileAttributes | attributes) & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return ScopedFile();
    return folder;
}

// Removes one folder and the installer in it; false when either stays.
bool RemoveFolderAt(const char *path)
{
    std::string installer = std::string(path) + "\\" + kInstallerName;
    DeleteFileA(installer.c_str());
    return RemoveDirectoryA(path) != 0;
}

} // namespace

bool MakeDownloadFolder(DownloadFolder &folder, DWORD *error)
{
    folder.held.reset();
    folder.path[0] = folder.installer[0] = '\0';
    char temp[MAX_PATH];
    std::string user = UserSid();
    if (!TempFolder(temp) || user.empty()) {
        *error = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
        return false;
    }
    // The user, Administrators and SYSTEM; nobody else, and nothing
    // inherited from the folder above.
    std::string sddl = "O:" + user + "D:P(A;OICI;FA;;;" + user + ")(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, descriptor.out(),
                                                              NULL)) {
        *error = GetLastError();
        return false;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
    // A name someone else took first (a folder or a link) is never used:
    // only a folder this call created is.
    *error = ERROR_ALREADY_EXISTS;
    for (int tries = 0; tries < 10 && !folder.held; ++tries) {
        char path[MAX_PATH];
        FormatText(path, sizeof path, "%s%s%lu-%I64u", temp, kFolderPrefix, GetCurrentProcessId(),
                 (unsigned long long)GetTickCount64() + tries);
        if (!CreateDirectoryA(path, &attributes)) {
            *error = GetLastError();
            continue;
        }
        folder.held = HoldOwnFolder(path);
        if (!folder.held) {
            *error = ERROR_CANT_ACCESS_FILE;
            RemoveDirectoryA(path);
            continue;
        }
        lstrcpynA(folder.path, path, MAX_PATH);
        FormatText(folder.installer, sizeof folder.installer, "%s\\%s", path, kInstallerName);
    }
    return (bool)folder.held;
}

void RemoveDownloadFolder(DownloadFolder &folder)
{
    folder.held.reset(); // the folder can only be removed once nobody holds it
    if (folder.path[0])
        RemoveFolderAt(folder.path);
    folder.path[0] = folder.installer[0] = '\0';
}

void RemoveLeftoverFolders()
{
    char temp[MAX_PATH];
    if (!TempFolder(temp))
        return;
    std::string pattern = std::string(temp) + kFolderPrefix + "*";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        // Only folders of our own making: no link, nothing else inside.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            RemoveFolderAt((std::string(temp) + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

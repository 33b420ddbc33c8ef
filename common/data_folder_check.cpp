// The data folder's chain checked before elevated code writes into it
// (data_folder_check.h).
#include "data_folder_check.h"

#include "scoped.h"

#include <aclapi.h>
#include <string.h>

namespace {

const char kMissing[] = "it does not exist or cannot be read";
const char kLink[] = "it is a link to another place (a reparse point)";
const char kOwner[] = "it is owned by an account other than Administrators or SYSTEM";
const char kNoOwner[] = "its owner cannot be read";

// The account this process runs as. A process's token keeps its user for
// the life of the process, so it is read once: a check runs before every
// write of the log and the configuration.
struct ProcessAccount {
    bool known = false;
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
};

ProcessAccount ReadProcessAccount()
{
    ProcessAccount account;
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out()))
        return account;
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD size = 0;
    account.known = GetTokenInformation(token.get(), TokenUser, &info, sizeof info, &size) &&
                    CopySid(sizeof account.sid, account.sid, info.user.User.Sid);
    return account;
}

bool IsOwnAccount(PSID owner)
{
    static const ProcessAccount account = ReadProcessAccount();
    return account.known && EqualSid(owner, (PSID)account.sid);
}

} // namespace

bool OwnerIsTrusted(PSID owner)
{
    return owner && IsValidSid(owner) &&
           (IsWellKnownSid(owner, WinLocalSystemSid) || IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
            IsOwnAccount(owner));
}

const char *FolderFault(const char *folder)
{
    // The attributes of the name itself: Windows reports a junction or
    // link in place of the folder as a reparse point without following it
    // (and so does Wine for a symbolic link).
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return kMissing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return kLink;
    PSID owner = NULL;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    if (GetNamedSecurityInfoA(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, NULL, NULL, NULL,
                              &descriptor) != ERROR_SUCCESS)
        return kNoOwner;
    bool trusted = OwnerIsTrusted(owner);
    LocalFree(descriptor);
    return trusted ? NULL : kOwner;
}

const char *DataFolderChainFault(const char *dataFolder)
{
    char folder[MAX_PATH];
    size_t length = dataFolder ? strlen(dataFolder) : 0;
    if (length == 0 || length >= MAX_PATH)
        return kMissing;
    memcpy(folder, dataFolder, length + 1);
    while (length > 0 && folder[length - 1] == '\\')
        folder[--length] = '\0';
    const char *fault = FolderFault(folder);
    char *last = strrchr(folder, '\\');
    if (fault || !last)
        return fault;
    *last = '\0'; // the vendor folder above it
    return FolderFault(folder);
}

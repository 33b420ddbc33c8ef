// The data folder's chain checked before elevated code writes into it
// (data_folder_check.h).
#include "data_folder_check.h"

#include "scoped.h"

#include <aclapi.h>
#include <sddl.h>
#include <string.h>

namespace {

const char kMissing[] = "it does not exist or cannot be read";
const char kLink[] = "it is a link to another place (a reparse point)";
const char kOwner[] = "it is owned by an account other than SYSTEM, Administrators or TrustedInstaller";
const char kNoOwner[] = "its owner cannot be read";

// NT SERVICE\TrustedInstaller, which owns the system's files.
const char kTrustedInstallerSid[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

bool IsSid(PSID owner, const char *text)
{
    ScopedLocal<PSID> sid;
    if (!ConvertStringSidToSidA(text, sid.out()))
        return false;
    return EqualSid(owner, sid.get()) != FALSE;
}

// A file's or folder's owner, copied out of its security descriptor.
struct OwnerSid {
    bool known = false;
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
};

OwnerSid ReadOwner(const char *path)
{
    OwnerSid owner;
    PSID sid = NULL; // points into the descriptor
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (GetNamedSecurityInfoA(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &sid, NULL, NULL, NULL,
                              descriptor.out()) != ERROR_SUCCESS)
        return owner;
    owner.known = sid && IsValidSid(sid) && CopySid(sizeof owner.sid, owner.sid, sid);
    return owner;
}

// The owner of the system's own folder. Only an administrator could change
// it, so it is read once per process: a check runs before every write of
// the log and the configuration.
OwnerSid ReadSystemFolderOwner()
{
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return OwnerSid();
    return ReadOwner(system);
}

// Whether owner also owns the system's own folder. Under Wine, which keeps
// no owners, every file and folder belongs to the one account that runs
// it, the system's folder included; on Windows this is TrustedInstaller.
bool OwnsSystemFolder(PSID owner)
{
    static const OwnerSid system = ReadSystemFolderOwner();
    return system.known && EqualSid(owner, (PSID)system.sid);
}

} // namespace

bool OwnerIsTrusted(PSID owner)
{
    return owner && IsValidSid(owner) &&
           (IsWellKnownSid(owner, WinLocalSystemSid) || IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
            IsSid(owner, kTrustedInstallerSid) || OwnsSystemFolder(owner));
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
    OwnerSid owner = ReadOwner(folder);
    if (!owner.known)
        return kNoOwner;
    return OwnerIsTrusted((PSID)owner.sid) ? NULL : kOwner;
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

namespace {

bool AnyUntrustedMay(PACL dacl, ACCESS_MASK rights, bool administratorsOnly, bool objectOnly)
{
    if (!dacl)
        return true;
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE *ace = NULL;
        if (!GetAce(dacl, i, (void **)&ace) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE ||
            (objectOnly && (ace->Header.AceFlags & INHERIT_ONLY_ACE)))
            continue;
        PSID sid = (PSID)&ace->SidStart;
        bool trusted = administratorsOnly ? IsWellKnownSid(sid, WinLocalSystemSid) ||
                                                IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
                                                IsSid(sid, kTrustedInstallerSid)
                                          : OwnerIsTrusted(sid);
        if (trusted || IsWellKnownSid(sid, WinCreatorOwnerSid) || IsWellKnownSid(sid, WinCreatorGroupSid))
            continue;
        ACCESS_MASK mask = ace->Mask;
        MapGenericMask(&mask, &mapping);
        if (mask & rights)
            return true;
    }
    return false;
}

} // namespace

bool UntrustedMay(PACL dacl, ACCESS_MASK rights, bool administratorsOnly)
{
    return AnyUntrustedMay(dacl, rights, administratorsOnly, false);
}

bool UntrustedMayOnObject(PACL dacl, ACCESS_MASK rights) { return AnyUntrustedMay(dacl, rights, false, true); }

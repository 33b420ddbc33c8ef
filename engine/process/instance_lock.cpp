// The user-process updater's single-instance lock (instance_lock.h).
//
// A machine-wide name could be made first, or held, by any user: one that
// held it made every user's updater quit. So the name carries the account
// ("Global\TalvexUpdaterProcess-S-1-5-21-..."), the object grants only that
// account (and SYSTEM and Administrators), and an object found under the
// name counts only when its owner is this account or a trusted one: a
// process of another account can make an object of that name, but never
// one owned by this account. Such an object is ignored, never obeyed.
#include "instance_lock.h"

#include "shared_objects.h"
#include "tallib.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

namespace {

// A second updater waits this long for the lock: the first may be ending
// (stopped just before a new start), and lets go as its process ends.
const DWORD kLockWaitMs = 5000;

// A SID of this process's token as text ("S-1-5-21-..."): its user, or the
// owner it gives the objects it makes; empty if unknown.
std::string TokenSid(TOKEN_INFORMATION_CLASS which)
{
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out()))
        return std::string();
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    char *text = NULL;
    if (!GetTokenInformation(token.get(), which, buffer, sizeof buffer, &size))
        return std::string();
    PSID sid = which == TokenUser ? ((TOKEN_USER *)buffer)->User.Sid : ((TOKEN_OWNER *)buffer)->Owner;
    if (!ConvertSidToStringSidA(sid, &text))
        return std::string();
    std::string result = text;
    LocalFree(text);
    return result;
}

// Whether the lock object was made by this account: its owner is the
// account, or the owner this account's programs give what they make (on
// Windows the account or Administrators), or SYSTEM or Administrators, who
// could replace the updater anyway. Another account's program can make an
// object of the name, never one with such an owner.
bool MadeByUs(HANDLE lock, const std::string &sid)
{
    PSID owner = NULL;
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (GetSecurityInfo(lock, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, NULL, NULL, NULL,
                        descriptor.out()) != ERROR_SUCCESS)
        return false;
    // Windows gives every object an owner, its maker's; a system that keeps
    // none names nobody who could have made it first.
    if (!owner)
        return true;
    if (IsWellKnownSid(owner, WinLocalSystemSid) || IsWellKnownSid(owner, WinBuiltinAdministratorsSid))
        return true;
    char *text = NULL;
    if (!ConvertSidToStringSidA(owner, &text))
        return false;
    bool ours = sid == text || TokenSid(TokenOwner) == text;
    LocalFree(text);
    return ours;
}

void LogIgnored()
{
    LogToFile("Updater: The updater's lock was made by another account and is ignored.", LOG_NEW_RECORD,
              LOG_WARNING);
}

} // namespace

ScopedHandle TakeInstanceLock(bool &heldElsewhere)
{
    heldElsewhere = false;
    std::string sid = TokenSid(TokenUser);
    if (sid.empty())
        return ScopedHandle();
    std::string name = std::string(kProcessUpdaterLockName) + "-" + sid;
    std::string rights = std::string(kProcessLockSecurity) + "(A;;0x120001;;;" + sid + ")";
    ScopedLocal<PSECURITY_DESCRIPTOR> sd;
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, FALSE};
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(rights.c_str(), SDDL_REVISION_1, sd.out(), NULL))
        sa.lpSecurityDescriptor = sd.get();
    ScopedHandle lock(CreateMutexExA(&sa, name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL));
    if (!lock) {
        // Only another account can have made it so that this one may not
        // use it.
        if (GetLastError() == ERROR_ACCESS_DENIED)
            LogIgnored();
        return ScopedHandle();
    }
    if (!MadeByUs(lock.get(), sid)) {
        LogIgnored();
        return ScopedHandle();
    }
    // An abandoned lock is ours now: its holder ended without letting go.
    DWORD r = WaitForSingleObject(lock.get(), kLockWaitMs);
    heldElsewhere = r == WAIT_TIMEOUT;
    if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED)
        lock.reset();
    return lock;
}

// Machine-wide named mutexes that serialize access to the shared files.
#include "internal.h"
#include "shared_objects.h"

#include <sddl.h>

namespace {

// Nobody may be blocked forever by a process that hangs while holding a
// lock: after this wait the access goes ahead unserialized.
const DWORD kLockWaitMs = 10000;

} // namespace

MachineLock::MachineLock(const char *name)
{
    PSECURITY_DESCRIPTOR sd = NULL;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, FALSE};
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kLockSecurity, SDDL_REVISION_1, &sd, NULL))
        sa.lpSecurityDescriptor = sd;
    mutex = CreateMutexExA(&sa, name, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
    if (!mutex)
        mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
    if (sd)
        LocalFree(sd);
    if (mutex) {
        DWORD r = WaitForSingleObject(mutex, kLockWaitMs);
        // An abandoned mutex is ours now; each guarded access is a single
        // call or write, so the file itself is whole.
        owned = (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED);
    }
}

MachineLock::~MachineLock()
{
    if (owned)
        ReleaseMutex(mutex);
    if (mutex)
        CloseHandle(mutex);
}
